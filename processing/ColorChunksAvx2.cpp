#include "processing/ColorChunksAvx2.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <utility>

#include "processing/ChunkBatches.h"

#define PANDRY_CHUNKS_AVX2 __attribute__((target("avx2")))

namespace {

// A chunk's 192 bytes are made 32 at a time, as two 16-byte lanes. A lane starting at chunk
// byte B shows pixels from B / 3 on; call q its first pixel starting within it. Runs grow
// by at most one a pixel, so with I the run number counted from q's, byte j of the lane
// (pixel p) is byte j - 3 ((p - q) - I(p)) of the 16 run bytes that start 3q - B bytes
// before q's run: always 0..15, one shuffle's reach.
struct LaneTables {
    alignas(32) std::uint8_t pixel[6][32];       // p less the lane's first index byte read
    alignas(32) std::uint8_t firstPixel[6][32];  // q less it, in every byte of the lane
    alignas(32) std::uint8_t local[6][32];       // j - 3 (p - q)
};
constexpr int LaneStart(int vector, int lane) {
    return 32 * vector + 16 * lane;
}
constexpr int FirstWholePixel(int vector, int lane) {
    return (LaneStart(vector, lane) + 2) / 3;
}
// The lane's 16 index bytes are read from here: its pixels, within the chunk's 64.
constexpr int IndexRead(int vector, int lane) {
    return LaneStart(vector, lane) / 3 < 48 ? LaneStart(vector, lane) / 3 : 48;
}
constexpr LaneTables MakeLaneTables() {
    LaneTables tables{};
    for (int v = 0; v < 6; ++v) {
        for (int i = 0; i < 32; ++i) {
            const int lane = i / 16;
            const int j = i % 16;
            const int p = (LaneStart(v, lane) + j) / 3;
            const int q = FirstWholePixel(v, lane);
            tables.pixel[v][i] = static_cast<std::uint8_t>(p - IndexRead(v, lane));
            tables.firstPixel[v][i] = static_cast<std::uint8_t>(q - IndexRead(v, lane));
            tables.local[v][i] = static_cast<std::uint8_t>(j - 3 * (p - q));
        }
    }
    return tables;
}
constexpr LaneTables kLaneTables = MakeLaneTables();

PANDRY_CHUNKS_AVX2 inline __m256i Table(const std::uint8_t (&table)[6][32], int vector) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(table[vector]));
}

// Chunk bytes 32 v .. 32 v + 31: gathered from the run bytes at pRuns (the chunk's first
// run's), copied from the row above, and on black zero where neither; otherwise left as
// they were. A pixel without a run keeps its top bit through the shuffle index (three times
// 0x80 is 0x80 in a byte), so its bytes come out zero, and through the blends' masks.
template <int kVector, bool kOnBlack>
PANDRY_CHUNKS_AVX2 inline void StoreVector(const std::uint8_t* pIndex, const std::uint8_t* pRuns,
                                           bool copies, std::uint8_t* pOut, std::ptrdiff_t above) {
    const __m256i index =
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pIndex + IndexRead(kVector, 1)),
                            reinterpret_cast<const __m128i*>(pIndex + IndexRead(kVector, 0)));
    const __m256i pixels = _mm256_shuffle_epi8(index, Table(kLaneTables.pixel, kVector));
    const __m256i runs = _mm256_sub_epi8(
        pixels, _mm256_and_si256(_mm256_shuffle_epi8(index, Table(kLaneTables.firstPixel, kVector)),
                                 _mm256_set1_epi8(kRunNumberBits)));
    const __m256i local = _mm256_add_epi8(Table(kLaneTables.local, kVector),
                                          _mm256_add_epi8(runs, _mm256_add_epi8(runs, runs)));
    constexpr int kLow = FirstWholePixel(kVector, 0);
    constexpr int kHigh = FirstWholePixel(kVector, 1);
    const auto runBytes = [pIndex, pRuns](int q, int laneStart) {
        return reinterpret_cast<const __m128i*>(pRuns + 3 * ((pIndex[q] & kRunNumberBits) - q) +
                                                laneStart);
    };
    __m256i bytes = _mm256_shuffle_epi8(_mm256_loadu2_m128i(runBytes(kHigh, LaneStart(kVector, 1)),
                                                            runBytes(kLow, LaneStart(kVector, 0))),
                                        local);
    auto* pVector = reinterpret_cast<__m256i*>(pOut);
    if (!kOnBlack) {
        bytes = _mm256_blendv_epi8(bytes, _mm256_loadu_si256(pVector), pixels);
    }
    if (copies) {  // the copied pixels' second bit moved to the top
        bytes = _mm256_blendv_epi8(
            bytes, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pOut + above)),
            _mm256_add_epi8(pixels, pixels));
    }
    _mm256_storeu_si256(pVector, bytes);
}

template <bool kOnBlack, int... kVectors>
PANDRY_CHUNKS_AVX2 inline void StoreChunk(const std::uint8_t* pIndex, const std::uint8_t* pRuns,
                                          bool copies, std::uint8_t* pOut, std::ptrdiff_t above,
                                          std::integer_sequence<int, kVectors...>) {
    (StoreVector<kVectors, kOnBlack>(pIndex, pRuns, copies, pOut + 32 * kVectors, above), ...);
}

// Spans [first, end) of the chunks without a pixel, black.
PANDRY_CHUNKS_AVX2 void WriteBlankSpans(const RemapChunkList& list, int first, int end,
                                        bool bottomUp, std::uint8_t* pDestination) {
    const std::uint32_t size = std::uint32_t(list.size);
    for (int b = first; b < end; ++b) {
        const BlankSpan& span = list.pBlankSpans[b];
        std::uint32_t firstPixel = span.firstPixel;
        if (bottomUp) {
            const std::uint32_t lastRow = (span.firstPixel + span.pixels - 1) / size;
            firstPixel = (size - 1 - lastRow) * size + span.firstPixel % size;
        }
        std::uint8_t* pOut = pDestination + std::size_t(firstPixel) * 3;
        for (std::uint32_t k = 0; k < span.pixels * 3; k += 32) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut + k), _mm256_setzero_si256());
        }
    }
}

// As the AVX-512 form: a batch's run values gathered three bytes each into a scratch row
// (red first where the layout wants it, so the shuffles are the same for every layout),
// then each chunk's bytes spread from it, the blank spans before a batch written with it.
template <RgbLayout kLayout>
PANDRY_CHUNKS_AVX2 void RemapColorBatches(const RemapChunkList& list,
                                          const std::uint8_t* pColorFrame,
                                          std::uint8_t* pDestination) {
    constexpr bool kBottomUp = kLayout == RgbLayout::kBottomUpBgrOnBlack;
    constexpr bool kOnBlack = kLayout != RgbLayout::kTopDownBgr;
    const std::uint32_t size = std::uint32_t(list.size);
    const int rowShift = std::countr_zero(size);
    const std::ptrdiff_t above = (kBottomUp ? 3 : -3) * std::ptrdiff_t(size);
    // A lane's window may start two bytes before its chunk's first run, and end 16 after
    // the batch's last.
    constexpr int kBefore = 16;
    alignas(32) std::uint8_t scratch[kBefore + (kBatchChunks + 1) * kChunkPixels * 3] = {};
    std::uint8_t* const pValues = scratch + kBefore;
    int blank = 0;
    for (int c0 = 0; c0 < list.chunkCount; c0 += kBatchChunks) {
        const int c1 = std::min(c0 + kBatchChunks, list.chunkCount);
        const RunSpan span = RunsOfBatch(list, c0, c1);
        if (kOnBlack) {
            const int first = blank;
            while (blank < list.blankCount &&
                   list.pBlankSpans[blank].firstPixel < list.pChunks[c1 - 1].firstPixel) {
                ++blank;
            }
            WriteBlankSpans(list, first, blank, kBottomUp, pDestination);
        }
        // By loads: AVX2 gathers measured slower on the AMD processor tried.
        GatherColorRunsByLoads(list.pRunSources, span.first, span.end, pColorFrame, pValues,
                               kLayout == RgbLayout::kTopDownRgbOnBlack);
        for (int c = c0; c < c1; ++c) {
            const RemapChunk& chunk = list.pChunks[c];
            std::uint32_t pixel = chunk.firstPixel;
            if (kBottomUp) {
                pixel = ((size - 1 - (pixel >> rowShift)) << rowShift) + (pixel & (size - 1));
            }
            StoreChunk<kOnBlack>(list.pRunIndex + std::size_t(c) * kChunkPixels,
                                 pValues + std::size_t(chunk.firstRun - span.first) * 3,
                                 chunk.copied != 0, pDestination + std::size_t(pixel) * 3, above,
                                 std::make_integer_sequence<int, 6>{});
        }
    }
    if (kOnBlack) {
        WriteBlankSpans(list, blank, list.blankCount, kBottomUp, pDestination);
    }
}

}  // namespace

bool ColorChunksAvx2Available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

void RemapRgbByChunksAvx2(const RemapChunkList& list, const std::uint8_t* pColorFrame,
                          std::uint8_t* pDestination, RgbLayout layout) {
    switch (layout) {
        case RgbLayout::kTopDownBgr:
            RemapColorBatches<RgbLayout::kTopDownBgr>(list, pColorFrame, pDestination);
            break;
        case RgbLayout::kBottomUpBgrOnBlack:
            RemapColorBatches<RgbLayout::kBottomUpBgrOnBlack>(list, pColorFrame, pDestination);
            break;
        case RgbLayout::kTopDownRgbOnBlack:
            RemapColorBatches<RgbLayout::kTopDownRgbOnBlack>(list, pColorFrame, pDestination);
            break;
    }
}

#else

bool ColorChunksAvx2Available() {
    return false;
}

void RemapRgbByChunksAvx2(const RemapChunkList&, const std::uint8_t*, std::uint8_t*, RgbLayout) {}

#endif
