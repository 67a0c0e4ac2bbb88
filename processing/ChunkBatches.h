#pragma once

// What the chunk kernels of every instruction set share: the batches of chunks whose run
// values are gathered together, the gather by plain loads, and the blank spans of a grey
// picture.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "processing/RemapChunks.h"
#include "processing/SampleTally.h"

// A batch of chunks (512 pixels) has its run values gathered into a scratch row that
// stays in the first-level cache, then spread; room past the last run for the widest load.
inline constexpr int kBatchChunks = 8;
inline constexpr int kScratchValues = (kBatchChunks + 1) * kChunkPixels;

// The runs of chunks [first, end) of the list.
struct RunSpan {
    std::uint32_t first;
    std::uint32_t end;
};
inline RunSpan RunsOfBatch(const RemapChunkList& list, int firstChunk, int endChunk) {
    return {list.pChunks[firstChunk].firstRun, endChunk < list.chunkCount
                                                   ? list.pChunks[endChunk].firstRun
                                                   : std::uint32_t(list.runCount)};
}

// The value of each run (valueOf of its sample's index) by plain loads, eight packed into a
// word to a store: faster where gathers are microcoded, as on AMD's processors
// (docs/performance.md has the figures). A tally given counts its share beside each eight.
template <bool kTally, typename ValueOf>
inline void GatherGreyRunsByLoads(const std::uint16_t* pFrom, std::uint32_t count, ValueOf valueOf,
                                  std::uint8_t* pValues, CSampleTally* pTally, int quadsPerEight) {
    const std::uint16_t* const pEnd = pFrom + count;
    CSampleTally::Cursor cursor{};
    if (kTally) {
        cursor = pTally->Position();
    }
    for (; pEnd - pFrom >= 8; pFrom += 8, pValues += 8) {
        std::uint64_t eight = 0;
        for (int b = 0; b < 8; ++b) {
            eight |= std::uint64_t{valueOf(pFrom[b])} << (8 * b);
        }
        std::memcpy(pValues, &eight, 8);
        if (kTally) {
            cursor.CountQuads(quadsPerEight);
        }
    }
    if (kTally) {
        pTally->Resume(cursor);
    }
    for (; pFrom < pEnd; ++pFrom, ++pValues) {
        *pValues = valueOf(*pFrom);
    }
}

// The tally's share of samples for each eight runs the gather takes, the rest counted after.
inline int QuadsPerEightRuns(const RemapChunkList& list, const CSampleTally* pTally) {
    const std::size_t words = (std::size_t(list.runCount) + 7) / 8;
    return pTally != nullptr ? int((pTally->QuadsLeft() + words - 1) / words) : 0;
}

// The grey picture's pixels no chunk writes, in its background; a span stays one block when
// its rows are turned over.
inline void FillBlankSpans(const RemapChunkList& list, std::uint8_t* pBgr, std::uint8_t background,
                           bool bottomUp) {
    const std::uint32_t size = std::uint32_t(list.size);
    for (int b = 0; b < list.blankCount; ++b) {
        const BlankSpan& span = list.pBlankSpans[b];
        const std::uint32_t lastRow = (span.firstPixel + span.pixels - 1) / size;
        const std::uint32_t first =
            bottomUp ? (size - 1 - lastRow) * size + span.firstPixel % size : span.firstPixel;
        std::memset(pBgr + std::size_t(first) * 3, background, std::size_t(span.pixels) * 3);
    }
}

// The values of runs [first, end), three bytes each as the frame holds them or red first,
// by plain loads: faster where gathers are microcoded. Writes one byte past the last value.
void GatherColorRunsByLoads(const std::uint16_t* pSources, std::uint32_t first, std::uint32_t end,
                            const std::uint8_t* pColorFrame, std::uint8_t* pValues, bool redFirst);
