#include <cstring>

#include "processing/FrameProcessor.h"
#include "processing/RemapRuns.h"

namespace {

constexpr std::uint64_t kByteLanes = 0x0101010101010101ULL;

}  // namespace

void CFrameProcessor::RemapGrey(const std::uint8_t* pSource, std::uint8_t* pDestination) const {
    const RemapRunList list = RemapRunsFor(m_nPixelCount);
    for (std::size_t k = 0; k < list.count; ++k) {
        const RemapRun& run = list.pRuns[k];
        const std::uint8_t value = pSource[run.source];
        if (run.wideStoreSafe) {
            const std::uint64_t lanes = value * kByteLanes;
            std::memcpy(pDestination + run.destination, &lanes, sizeof lanes);
        } else {
            std::memset(pDestination + run.destination, value, run.length);
        }
    }
}

void CFrameProcessor::RemapRgb(const std::uint8_t* pColorFrame, std::uint8_t* pDestination) const {
    const RemapRunList list = RemapRunsFor(m_nPixelCount);
    for (std::size_t k = 0; k < list.count; ++k) {
        const RemapRun& run = list.pRuns[k];
        const std::uint8_t* pPixel = pColorFrame + std::size_t(run.source) * 3;
        std::uint8_t* pOut = pDestination + std::size_t(run.destination) * 3;
        for (std::uint16_t n = 0; n < run.length; ++n, pOut += 3) {
            pOut[0] = pPixel[0];
            pOut[1] = pPixel[1];
            pOut[2] = pPixel[2];
        }
    }
}
