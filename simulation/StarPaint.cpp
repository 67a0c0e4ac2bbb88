#include "simulation/StarPaint.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define PANDRY_X86_VECTORS 1
#include <immintrin.h>
#endif

namespace {

constexpr int kSegmentShift = 7;
constexpr unsigned kSegmentMask = 31;

void PaintPlain(const std::uint16_t* pAngle, int from, int count, unsigned turn,
                const SegmentPaints* pPaints, std::uint8_t* const* pRows, int planes) {
    for (int x = from; x < count; ++x) {
        const unsigned segment = ((pAngle[x] + turn) >> kSegmentShift) & kSegmentMask;
        for (int p = 0; p < planes; ++p) {
            pRows[p][x] = pPaints[p][segment];
        }
    }
}

#ifdef PANDRY_X86_VECTORS

// Segment numbers of 32 pixels, in order, as bytes.
__attribute__((target("avx2"))) inline __m256i Segments32(const std::uint16_t* pAngle,
                                                          __m256i turn) {
    const __m256i mask = _mm256_set1_epi16(kSegmentMask);
    const __m256i low = _mm256_and_si256(
        _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pAngle)), turn),
            kSegmentShift),
        mask);
    const __m256i high = _mm256_and_si256(
        _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pAngle + 16)),
                             turn),
            kSegmentShift),
        mask);
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8);
}

// The 32-entry look-up as two 16-entry byte shuffles, bit 4 of the segment choosing.
__attribute__((target("avx2"))) int PaintAvx2(const std::uint16_t* pAngle, int count, unsigned turn,
                                              const SegmentPaints* pPaints,
                                              std::uint8_t* const* pRows, int planes) {
    const __m256i turnWords = _mm256_set1_epi16(static_cast<short>(turn & 0xFFFF));
    __m256i lowHalf[3];
    __m256i highHalf[3];
    for (int p = 0; p < planes; ++p) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pPaints[p].data()));
        const __m128i high =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(pPaints[p].data() + 16));
        lowHalf[p] = _mm256_broadcastsi128_si256(low);
        highHalf[p] = _mm256_broadcastsi128_si256(high);
    }
    int x = 0;
    for (; x + 32 <= count; x += 32) {
        const __m256i segments = Segments32(pAngle + x, turnWords);
        const __m256i upper = _mm256_slli_epi16(segments, 3);  // bit 4 to each byte's top bit
        for (int p = 0; p < planes; ++p) {
            const __m256i paint =
                _mm256_blendv_epi8(_mm256_shuffle_epi8(lowHalf[p], segments),
                                   _mm256_shuffle_epi8(highHalf[p], segments), upper);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pRows[p] + x), paint);
        }
    }
    return x;
}

#endif

}  // namespace

void PaintStarRow(const std::uint16_t* pAngle, int count, unsigned turn,
                  const SegmentPaints* pPaints, std::uint8_t* const* pRows, int planes) {
    int done = 0;
#ifdef PANDRY_X86_VECTORS
    static const bool kAvx2 = __builtin_cpu_supports("avx2");
    if (kAvx2) {
        done = PaintAvx2(pAngle, count, turn, pPaints, pRows, planes);
    }
#endif
    PaintPlain(pAngle, done, count, turn, pPaints, pRows, planes);
}
