#include <cstring>

#include "processing/FrameProcessor.h"
#include "processing/RemapRuns.h"

namespace {

constexpr std::uint64_t kByteLanes = 0x0101010101010101ULL;
constexpr std::uint32_t kWidePixels = 8;

std::uint32_t RunSource(std::uint32_t run) {
    return run & kRunSourceMask;
}
std::uint32_t RunLength(std::uint32_t run) {
    return run >> kRunLengthShift;
}

}  // namespace

void CFrameProcessor::RemapGrey(const std::uint8_t* pSource, std::uint8_t* pDestination) const {
    const RemapRunList list = RemapRunsFor(m_nPixelCount);
    for (int y = 0; y < list.rowCount; ++y) {
        const RemapRow& row = list.pRows[y];
        const std::uint32_t* pRun = list.pRuns + row.firstRun;
        std::uint8_t* pOut = pDestination + row.firstPixel;
        int k = 0;
        for (; k < row.wideRuns; ++k) {
            const std::uint8_t value = pSource[RunSource(pRun[k])];
            const std::uint64_t lanes = value * kByteLanes;
            std::memcpy(pOut, &lanes, sizeof lanes);
            const std::uint32_t length = RunLength(pRun[k]);
            if (length > kWidePixels) {
                std::memset(pOut + kWidePixels, value, length - kWidePixels);
            }
            pOut += length;
        }
        for (; k < row.runs; ++k) {
            const std::uint32_t length = RunLength(pRun[k]);
            std::memset(pOut, pSource[RunSource(pRun[k])], length);
            pOut += length;
        }
    }
}

void CFrameProcessor::RemapRgb(const std::uint8_t* pColorFrame, std::uint8_t* pDestination) const {
    const RemapRunList list = RemapRunsFor(m_nPixelCount);
    for (int y = 0; y < list.rowCount; ++y) {
        const RemapRow& row = list.pRows[y];
        const std::uint32_t* pRun = list.pRuns + row.firstRun;
        std::uint8_t* pOut = pDestination + std::size_t(row.firstPixel) * 3;
        for (int k = 0; k < row.runs; ++k) {
            const std::uint8_t* pPixel = pColorFrame + std::size_t(RunSource(pRun[k])) * 3;
            for (std::uint32_t n = RunLength(pRun[k]); n > 0; --n, pOut += 3) {
                pOut[0] = pPixel[0];
                pOut[1] = pPixel[1];
                pOut[2] = pPixel[2];
            }
        }
    }
}
