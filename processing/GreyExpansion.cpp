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

}  // namespace

bool GreyExpansionAvailable() {
    return __builtin_cpu_supports("ssse3");
}

int ExpandGreyPixels(const std::uint8_t* pLuma, std::uint8_t* pBgr, int pixels) {
    return GreyExpansionAvailable() ? ExpandSsse3(pLuma, pBgr, pixels) : 0;
}

#else

bool GreyExpansionAvailable() {
    return false;
}

int ExpandGreyPixels(const std::uint8_t*, std::uint8_t*, int) {
    return 0;
}

#endif
