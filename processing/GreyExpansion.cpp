#include "processing/GreyExpansion.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {

__attribute__((target("ssse3"))) int ExpandSsse3(const std::uint8_t* pLuma, std::uint8_t* pBgr,
                                                 int pixels) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i blackLevel = _mm_set1_epi16(16);
    const __m128i fraction = _mm_set1_epi16(10773);
    // Each of the 16 levels three times, over three 16-byte stores.
    const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i spread2 =
        _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    int x = 0;
    for (; x + 16 <= pixels; x += 16) {
        const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pLuma + x));
        __m128i low = _mm_sub_epi16(_mm_unpacklo_epi8(luma, zero), blackLevel);
        __m128i high = _mm_sub_epi16(_mm_unpackhi_epi8(luma, zero), blackLevel);
        low = _mm_add_epi16(low, _mm_mulhi_epi16(low, fraction));
        high = _mm_add_epi16(high, _mm_mulhi_epi16(high, fraction));
        const __m128i level = _mm_packus_epi16(low, high);  // the clamp to 0..255
        std::uint8_t* pOut = pBgr + std::size_t(x) * 3;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut), _mm_shuffle_epi8(level, spread0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 16), _mm_shuffle_epi8(level, spread1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 32), _mm_shuffle_epi8(level, spread2));
    }
    return x;
}

// Where in a 64-byte pack of two 32-word halves pixel p's level lands: the pack works
// within 16-byte lanes, eight pixels of each half to a lane.
constexpr int PackedPosition(int p) {
    return p < 32 ? 16 * (p / 8) + p % 8 : 16 * ((p - 32) / 8) + 8 + (p - 32) % 8;
}

// Byte j of output block `block` (0..2) repeats the level of pixel (64 * block + j) / 3.
struct SpreadIndices {
    alignas(64) std::uint8_t byte[3][64];
};
constexpr SpreadIndices MakeSpreadIndices() {
    SpreadIndices s{};
    for (int block = 0; block < 3; ++block) {
        for (int j = 0; j < 64; ++j) {
            s.byte[block][j] = static_cast<std::uint8_t>(PackedPosition((64 * block + j) / 3));
        }
    }
    return s;
}
constexpr SpreadIndices kSpread = MakeSpreadIndices();

// The same rule, 64 pixels at a time.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int ExpandVbmi(const std::uint8_t* pLuma,
                                                                      std::uint8_t* pBgr,
                                                                      int pixels) {
    const __m512i blackLevel = _mm512_set1_epi16(16);
    const __m512i fraction = _mm512_set1_epi16(10773);
    const __m512i spread0 = _mm512_load_si512(kSpread.byte[0]);
    const __m512i spread1 = _mm512_load_si512(kSpread.byte[1]);
    const __m512i spread2 = _mm512_load_si512(kSpread.byte[2]);
    // The zero-masking permute: GCC 12 warns about the plain one's undefined source.
    const __mmask64 kAll = ~__mmask64{0};
    int x = 0;
    for (; x + 64 <= pixels; x += 64) {
        __m512i low = _mm512_sub_epi16(
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pLuma + x))),
            blackLevel);
        __m512i high = _mm512_sub_epi16(_mm512_cvtepu8_epi16(_mm256_loadu_si256(
                                            reinterpret_cast<const __m256i*>(pLuma + x + 32))),
                                        blackLevel);
        low = _mm512_add_epi16(low, _mm512_mulhi_epi16(low, fraction));
        high = _mm512_add_epi16(high, _mm512_mulhi_epi16(high, fraction));
        const __m512i level = _mm512_packus_epi16(low, high);  // the clamp to 0..255
        std::uint8_t* pOut = pBgr + std::size_t(x) * 3;
        _mm512_storeu_si512(pOut, _mm512_maskz_permutexvar_epi8(kAll, spread0, level));
        _mm512_storeu_si512(pOut + 64, _mm512_maskz_permutexvar_epi8(kAll, spread1, level));
        _mm512_storeu_si512(pOut + 128, _mm512_maskz_permutexvar_epi8(kAll, spread2, level));
    }
    return x;
}

bool VbmiAvailable() {
    static const bool available = __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512bw") &&
                                  __builtin_cpu_supports("avx512vbmi");
    return available;
}

}  // namespace

bool GreyExpansionAvailable() {
    return __builtin_cpu_supports("ssse3");
}

int ExpandGreyPixels(const std::uint8_t* pLuma, std::uint8_t* pBgr, int pixels) {
    if (!GreyExpansionAvailable()) {
        return 0;
    }
    const int wide = VbmiAvailable() ? ExpandVbmi(pLuma, pBgr, pixels) : 0;
    return wide + ExpandSsse3(pLuma + wide, pBgr + std::size_t(wide) * 3, pixels - wide);
}

#else

bool GreyExpansionAvailable() {
    return false;
}

int ExpandGreyPixels(const std::uint8_t*, std::uint8_t*, int) {
    return 0;
}

#endif
