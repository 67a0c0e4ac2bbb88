#pragma once

// A 256-entry byte table looked up 64 indices at a time with AVX-512 VBMI, for the kernels
// built for that processor: the table as four 64-byte registers, two two-register permutes
// giving the entries for indices below and above 128, the index's top bit picking one.

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <cstdint>

#define PANDRY_VBMI_LOOKUP __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct VbmiTable {
    __m512i quarter[4];
};

PANDRY_VBMI_LOOKUP inline VbmiTable LoadVbmiTable(const std::uint8_t* pTable) {
    VbmiTable t;
    for (int q = 0; q < 4; ++q) {
        t.quarter[q] = _mm512_loadu_si512(pTable + 64 * q);
    }
    return t;
}

PANDRY_VBMI_LOOKUP inline __m512i LookUp64(const VbmiTable& t, __m512i index) {
    const __m512i low = _mm512_permutex2var_epi8(t.quarter[0], index, t.quarter[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.quarter[2], index, t.quarter[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

#endif
