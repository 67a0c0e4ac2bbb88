#include <bit>
#include <cstring>

#include "processing/ByteVector.h"
#include "processing/ColorChunksAvx2.h"
#include "processing/FrameProcessor.h"
#include "processing/RemapChunks.h"
#include "processing/RemapRuns.h"

namespace {

constexpr std::uint64_t kByteLanes = 0x0101010101010101ULL;

std::uint32_t RunSource(std::uint32_t run) {
    return run & kRunSourceMask;
}
std::uint32_t RunLength(std::uint32_t run) {
    return run >> kRunLengthShift;
}

using FourWords = std::uint32_t __attribute__((vector_size(16)));
static_assert(std::endian::native == std::endian::little, "a word's low byte is vector byte 0");

// Writes a run of up to ten pixels as 31 bytes: the pixel repeated over 16 bytes, stored
// at byte 0 and again at byte 15, pixel byte 0 once more. Bytes past the run belong to
// pixels that later runs overwrite.
[[gnu::always_inline]] inline void FillShortRun(const std::uint8_t* pPixel, std::uint8_t* pOut) {
    // Three single-byte reads: a 4-byte read would pass the end of the frame's last pixel.
    const std::uint32_t bytes012 =
        pPixel[0] | std::uint32_t(pPixel[1]) << 8 | std::uint32_t(pPixel[2]) << 16;
    const auto pixel = std::bit_cast<SixteenBytes>(FourWords{bytes012, 0, 0, 0});
    const SixteenBytes pattern =
        __builtin_shufflevector(pixel, pixel, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0);
    std::memcpy(pOut, &pattern, sizeof pattern);
    std::memcpy(pOut + 15, &pattern, sizeof pattern);
}

// The byte shuffle is one instruction with SSSE3; the loader picks that copy where the
// processor has it. ThreadSanitizer cannot run the loader's chooser before it starts, so
// its builds take the plain copy.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
#define PANDRY_SHUFFLE_CLONES __attribute__((target_clones("ssse3", "default")))
#else
#define PANDRY_SHUFFLE_CLONES
#endif

PANDRY_SHUFFLE_CLONES void RemapRgbRuns(const RemapRunList& list, const std::uint8_t* pColorFrame,
                                        std::uint8_t* pDestination) {
    for (int y = 0; y < list.rowCount; ++y) {
        const RemapRow& row = list.pRows[y];
        const std::uint32_t* pRun = list.pRuns + row.firstRun;
        std::uint8_t* pOut = pDestination + std::size_t(row.firstPixel) * 3;
        int k = 0;
        for (const int wideRuns = row.wideColorRuns; k < wideRuns; ++k) {
            FillShortRun(pColorFrame + std::size_t(RunSource(pRun[k])) * 3, pOut);
            pOut += std::size_t(RunLength(pRun[k])) * 3;
        }
        for (const int runs = row.runs; k < runs; ++k) {
            const std::uint8_t* pPixel = pColorFrame + std::size_t(RunSource(pRun[k])) * 3;
            for (std::uint32_t n = RunLength(pRun[k]); n > 0; --n, pOut += 3) {
                std::memcpy(pOut, pPixel, 3);
            }
        }
    }
}

// One pixel at a time, each written as four bytes (the fourth is the next pixel's, which
// is written after it) except a row's last. The frame's last pixel is read as three bytes
// so that no read passes its end.
void RemapRgbGather(const RemapRunList& list, const std::uint8_t* pColorFrame,
                    std::uint8_t* pDestination) {
    constexpr std::uint16_t kLastSample = kFrameBytes - 1;
    for (int y = 0; y < list.rowCount; ++y) {
        const RemapRow& row = list.pRows[y];
        const std::uint16_t* pFrom = list.pSources + row.firstSource;
        std::uint8_t* pOut = pDestination + std::size_t(row.firstPixel) * 3;
        const std::uint32_t last = row.pixels - 1;
        for (std::uint32_t k = 0; k < last; ++k, pOut += 3) {
            const std::uint16_t e = pFrom[k];
            std::uint32_t pixel = 0;
            std::memcpy(&pixel, pColorFrame + std::size_t(e) * 3, e == kLastSample ? 3 : 4);
            std::memcpy(pOut, &pixel, 4);
        }
        std::memcpy(pOut, pColorFrame + std::size_t(pFrom[last]) * 3, 3);
    }
}

void RemapGreyRuns(const RemapRunList& list, const std::uint8_t* pSource,
                   std::uint8_t* pDestination) {
    for (int y = 0; y < list.rowCount; ++y) {
        const RemapRow& row = list.pRows[y];
        const std::uint32_t* pRun = list.pRuns + row.firstRun;
        std::uint8_t* pOut = pDestination + row.firstPixel;
        int k = 0;
        for (; k < row.wideGreyRuns; ++k) {
            const std::uint8_t value = pSource[RunSource(pRun[k])];
            const std::uint64_t lanes = value * kByteLanes;
            std::memcpy(pOut, &lanes, sizeof lanes);
            const std::uint32_t length = RunLength(pRun[k]);
            if (length > kWideGreyPixels) {
                std::memset(pOut + kWideGreyPixels, value, length - kWideGreyPixels);
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

bool CanRemapByChunks(const RemapChunkList& chunks) {
    return RemapByChunksAvailable() && chunks.chunkCount > 0;
}

}  // namespace

void CFrameProcessor::RemapGrey(const std::uint8_t* pSource, std::uint8_t* pDestination,
                                VectorLevel level) const {
    // Measured at 512 x 512: 52 us for the run walk, 14 us by chunks.
    const RemapChunkList chunks = RemapChunksFor(m_nPixelCount, false);
    if (level == VectorLevel::kAvx512Vbmi && CanRemapByChunks(chunks)) {
        RemapGreyByChunks(chunks, pSource, pDestination);
        return;
    }
    RemapGreyRuns(RemapRunsFor(m_nPixelCount), pSource, pDestination);
}

bool CFrameProcessor::RemapGreyFoldingFovea(const std::uint8_t* pUnfilled,
                                            std::uint8_t* pDestination) const {
    const RemapChunkList chunks = RemapChunksFor(m_nPixelCount, true);
    if (!CanRemapByChunks(chunks)) {
        return false;
    }
    RemapGreyByChunks(chunks, pUnfilled, pDestination);
    return true;
}

bool CFrameProcessor::RemapRgbOnBlack(const std::uint8_t* pColorFrame, std::uint8_t* pDestination,
                                      RgbLayout layout) const {
    const RemapChunkList chunks = RemapColorChunksFor(m_nPixelCount);
    if (!RemapRgbByChunksAvailable() || chunks.chunkCount == 0) {
        return false;
    }
    RemapRgbByChunks(chunks, pColorFrame, pDestination, layout);
    return true;
}

void CFrameProcessor::RemapRgb(const std::uint8_t* pColorFrame, std::uint8_t* pDestination,
                               VectorLevel level) const {
    const RemapChunkList chunks = RemapColorChunksFor(m_nPixelCount);
    if (level == VectorLevel::kAvx512Vbmi && CanRemapByChunks(chunks)) {
        RemapRgbByChunks(chunks, pColorFrame, pDestination);
        return;
    }
    if (level == VectorLevel::kAvx2 && ColorChunksAvx2Available() && chunks.chunkCount > 0) {
        RemapRgbByChunksAvx2(chunks, pColorFrame, pDestination, RgbLayout::kTopDownBgr);
        return;
    }
    // Measured: at 256 x 256 the gather takes two thirds of the walk's time; at 512 x 512,
    // where runs are twice as long, the walk is faster. Grey gathers gain nothing at either.
    const RemapRunList list = RemapRunsFor(m_nPixelCount);
    if (m_nPixelCount == kNormalPixelCount) {
        RemapRgbGather(list, pColorFrame, pDestination);
    } else {
        RemapRgbRuns(list, pColorFrame, pDestination);
    }
}
