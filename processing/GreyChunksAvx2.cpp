#include "processing/GreyChunksAvx2.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <bit>

#include "processing/ChunkBatches.h"
#include "sensor/LogPolarFrame.h"

#define PANDRY_CHUNKS_AVX2 __attribute__((target("avx2")))

namespace {

// Byte j all ones where bit j of bits is set.
PANDRY_CHUNKS_AVX2 inline __m256i ByteMask(std::uint32_t bits) {
    const __m256i byteOfBit = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2,
                                               2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3);
    const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    const __m256i spread = _mm256_shuffle_epi8(_mm256_set1_epi32(int(bits)), byteOfBit);
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
}

// Thirty-two levels, three bytes each, as the 96 bytes at pOut. The shuffles work within
// 16-byte lanes: each gives a third of the low lane's 48 bytes and of the high lane's.
PANDRY_CHUNKS_AVX2 inline void StoreThreeTimes(__m256i level, std::uint8_t* pOut) {
    const __m256i spread0 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5));
    const __m256i spread1 = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10));
    const __m256i spread2 = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15));
    const __m256i first = _mm256_shuffle_epi8(level, spread0);   // bytes 0-15 and 48-63
    const __m256i second = _mm256_shuffle_epi8(level, spread1);  // 16-31 and 64-79
    const __m256i third = _mm256_shuffle_epi8(level, spread2);   // 32-47 and 80-95
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut),
                        _mm256_permute2x128_si256(first, second, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut + 32),
                        _mm256_blend_epi32(third, first, 0xF0));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut + 64),
                        _mm256_permute2x128_si256(second, third, 0x31));
}

// As the AVX-512 form: a batch's levels gathered run by run into a scratch row, then each
// chunk's pixels spread from it, those repeating the row above taken from a row of the
// chunks' own levels, those without a sample given the background, every byte written.
template <bool kTally, bool kBottomUp>
PANDRY_CHUNKS_AVX2 void RemapGreyToBgr(const RemapChunkList& list, const std::uint8_t* pSource,
                                       const std::uint8_t* pLevels, std::uint8_t* pBgr,
                                       CSampleTally* pTally) {
    alignas(64) std::uint8_t values[kScratchValues] = {};
    alignas(64) std::uint8_t rowAbove[kZoomedSize];       // the larger side
    const std::uint32_t size = std::uint32_t(list.size);  // a power of two
    const int rowShift = std::countr_zero(size);
    const int quadsPerEight = QuadsPerEightRuns(list, pTally);
    const __m256i background = _mm256_set1_epi8(static_cast<char>(pLevels[kGreyBackground]));
    const __m256i firstOfLane = _mm256_setzero_si256();
    const auto levelOf = [pSource, pLevels](std::uint16_t sample) {
        return pLevels[pSource[sample]];
    };
    for (int c0 = 0; c0 < list.chunkCount; c0 += kBatchChunks) {
        const int c1 = std::min(c0 + kBatchChunks, list.chunkCount);
        const RunSpan span = RunsOfBatch(list, c0, c1);
        GatherGreyRunsByLoads<kTally>(list.pRunSources + span.first, span.end - span.first, levelOf,
                                      values, pTally, quadsPerEight);
        for (int c = c0; c < c1; ++c) {
            const RemapChunk& chunk = list.pChunks[c];
            const std::uint8_t* pIndex = list.pRunIndex + std::size_t(c) * kChunkPixels;
            const std::uint8_t* pRuns = values + (chunk.firstRun - span.first);
            std::uint32_t pixel = chunk.firstPixel;
            if (kBottomUp) {
                pixel = ((size - 1 - (pixel >> rowShift)) << rowShift) + (pixel & (size - 1));
            }
            std::uint8_t* pOut = pBgr + std::size_t(pixel) * 3;
            std::uint8_t* pAbove = rowAbove + (chunk.firstPixel & (size - 1));
            const std::uint64_t shown = chunk.written | chunk.copied;
            for (int half = 0; half < 2; ++half, pIndex += 32, pAbove += 32, pOut += 96) {
                // Each lane's 16 pixels lie within the 16 runs from its first pixel's.
                const __m256i index = _mm256_load_si256(reinterpret_cast<const __m256i*>(pIndex));
                const __m256i runs =
                    _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pRuns + pIndex[16]),
                                        reinterpret_cast<const __m128i*>(pRuns + pIndex[0]));
                __m256i level = _mm256_shuffle_epi8(
                    runs, _mm256_sub_epi8(index, _mm256_shuffle_epi8(index, firstOfLane)));
                const auto copied = std::uint32_t(chunk.copied >> (32 * half));
                if (copied != 0) {
                    level = _mm256_blendv_epi8(
                        level, _mm256_load_si256(reinterpret_cast<const __m256i*>(pAbove)),
                        ByteMask(copied));
                }
                _mm256_store_si256(reinterpret_cast<__m256i*>(pAbove), level);
                const auto shownHalf = std::uint32_t(shown >> (32 * half));
                if (shownHalf != ~std::uint32_t{0}) {
                    level = _mm256_blendv_epi8(background, level, ByteMask(shownHalf));
                }
                StoreThreeTimes(level, pOut);
            }
        }
    }
    if (kTally) {
        pTally->CountRest();
    }
    FillBlankSpans(list, pBgr, pLevels[kGreyBackground], kBottomUp);
}

}  // namespace

bool GreyChunksAvx2Available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

void RemapGreyToBgrByChunksAvx2(const RemapChunkList& list, const std::uint8_t* pSource,
                                const std::uint8_t* pLevels, std::uint8_t* pBgr, bool bottomUp,
                                CSampleTally* pTally) {
    if (bottomUp) {
        pTally != nullptr ? RemapGreyToBgr<true, true>(list, pSource, pLevels, pBgr, pTally)
                          : RemapGreyToBgr<false, true>(list, pSource, pLevels, pBgr, nullptr);
    } else {
        pTally != nullptr ? RemapGreyToBgr<true, false>(list, pSource, pLevels, pBgr, pTally)
                          : RemapGreyToBgr<false, false>(list, pSource, pLevels, pBgr, nullptr);
    }
}

#else

bool GreyChunksAvx2Available() {
    return false;
}

void RemapGreyToBgrByChunksAvx2(const RemapChunkList&, const std::uint8_t*, const std::uint8_t*,
                                std::uint8_t*, bool, CSampleTally*) {}

#endif
