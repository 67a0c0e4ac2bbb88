#include "processing/VectorLookup.h"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#define PANDRY_X86_VECTORS 1
#include <immintrin.h>

#include "processing/VbmiLookup.h"
#endif

namespace {

void LookUpPlain(const ByteTable& table, const std::uint8_t* pIn, std::uint8_t* pOut,
                 std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        pOut[i] = table[pIn[i]];
    }
}

void LookUpShiftedPlain(const ByteTable& table, const std::uint8_t* pIn, const std::int16_t* pShift,
                        std::uint8_t* pOut, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        pOut[i] = table[std::size_t(std::clamp(pIn[i] + pShift[i], 0, 255))];
    }
}

#ifdef PANDRY_X86_VECTORS

#define PANDRY_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#define PANDRY_AVX2 __attribute__((target("avx2")))

PANDRY_VBMI void LookUpVbmi(const ByteTable& table, const std::uint8_t* pIn, std::uint8_t* pOut,
                            std::size_t count) {
    const VbmiTable t = LoadVbmiTable(table.data());
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        _mm512_storeu_si512(pOut + i, LookUp64(t, _mm512_loadu_si512(pIn + i)));
    }
    LookUpPlain(table, pIn + i, pOut + i, count - i);
}

PANDRY_VBMI void LookUpShiftedVbmi(const ByteTable& table, const std::uint8_t* pIn,
                                   const std::int16_t* pShift, std::uint8_t* pOut,
                                   std::size_t count) {
    const VbmiTable t = LoadVbmiTable(table.data());
    // packus interleaves the 128-bit lanes of its two sources; this puts them back in order.
    const __m512i laneOrder = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        // Sample plus shift lies in -256..511: exact in 16 bits; packus clamps to 0..255.
        const __m512i low = _mm512_add_epi16(
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pIn + i))),
            _mm512_loadu_si512(pShift + i));
        const __m512i high = _mm512_add_epi16(_mm512_cvtepu8_epi16(_mm256_loadu_si256(
                                                  reinterpret_cast<const __m256i*>(pIn + i + 32))),
                                              _mm512_loadu_si512(pShift + i + 32));
        // The zero-masking form: GCC 12 warns about the plain one's undefined source.
        const __m512i index =
            _mm512_maskz_permutexvar_epi64(0xFF, laneOrder, _mm512_packus_epi16(low, high));
        _mm512_storeu_si512(pOut + i, LookUp64(t, index));
    }
    LookUpShiftedPlain(table, pIn + i, pShift + i, pOut + i, count - i);
}

// AVX2 has no byte permute wide enough; eight 32-bit gathers from a widened copy of the
// table are the fastest exact form it has.
struct WideTable {
    alignas(32) std::int32_t entry[256];
};

inline WideTable Widen(const ByteTable& table) {
    WideTable wide;
    for (int v = 0; v < 256; ++v) {
        wide.entry[v] = table[std::size_t(v)];
    }
    return wide;
}

// Packs 4 x 8 table entries (each 0..255) into 32 bytes in their order.
PANDRY_AVX2 inline __m256i PackEntries(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i ab = _mm256_packs_epi32(a, b);  // lane-interleaved, fixed below
    const __m256i cd = _mm256_packs_epi32(c, d);
    const __m256i bytes = _mm256_packus_epi16(ab, cd);
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

PANDRY_AVX2 inline __m256i Gather8(const WideTable& wide, __m256i index) {
    return _mm256_i32gather_epi32(wide.entry, index, 4);
}

PANDRY_AVX2 inline __m256i EightIndices(const std::uint8_t* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

PANDRY_AVX2 void LookUpAvx2(const ByteTable& table, const std::uint8_t* pIn, std::uint8_t* pOut,
                            std::size_t count) {
    const WideTable wide = Widen(table);
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i packed = PackEntries(
            Gather8(wide, EightIndices(pIn + i)), Gather8(wide, EightIndices(pIn + i + 8)),
            Gather8(wide, EightIndices(pIn + i + 16)), Gather8(wide, EightIndices(pIn + i + 24)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut + i), packed);
    }
    LookUpPlain(table, pIn + i, pOut + i, count - i);
}

PANDRY_AVX2 inline __m256i EightShiftedIndices(const std::uint8_t* pIn,
                                               const std::int16_t* pShift) {
    const __m256i shift =
        _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pShift)));
    const __m256i sum = _mm256_add_epi32(EightIndices(pIn), shift);
    return _mm256_min_epi32(_mm256_max_epi32(sum, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

PANDRY_AVX2 void LookUpShiftedAvx2(const ByteTable& table, const std::uint8_t* pIn,
                                   const std::int16_t* pShift, std::uint8_t* pOut,
                                   std::size_t count) {
    const WideTable wide = Widen(table);
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i packed =
            PackEntries(Gather8(wide, EightShiftedIndices(pIn + i, pShift + i)),
                        Gather8(wide, EightShiftedIndices(pIn + i + 8, pShift + i + 8)),
                        Gather8(wide, EightShiftedIndices(pIn + i + 16, pShift + i + 16)),
                        Gather8(wide, EightShiftedIndices(pIn + i + 24, pShift + i + 24)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut + i), packed);
    }
    LookUpShiftedPlain(table, pIn + i, pShift + i, pOut + i, count - i);
}

VectorLevel DetectVectorLevel() {
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi")) {
        return VectorLevel::kAvx512Vbmi;
    }
    if (__builtin_cpu_supports("avx2")) {
        return VectorLevel::kAvx2;
    }
    return VectorLevel::kPlain;
}

#else

VectorLevel DetectVectorLevel() {
    return VectorLevel::kPlain;
}

#endif

// A level this processor cannot run falls back to the plain form, never faults.
VectorLevel Runnable(VectorLevel level) {
    return CanRun(level) ? level : VectorLevel::kPlain;
}

}  // namespace

VectorLevel SupportedVectorLevel() {
    static const VectorLevel level = DetectVectorLevel();
    return level;
}

bool CanRun(VectorLevel level) {
    return static_cast<int>(level) <= static_cast<int>(SupportedVectorLevel());
}

bool GathersAreSlow() {
#ifdef PANDRY_X86_VECTORS
    static const bool slow = __builtin_cpu_is("amd");
    return slow;
#else
    return false;
#endif
}

void LookUpBytes(VectorLevel level, const ByteTable& table, const std::uint8_t* pIn,
                 std::uint8_t* pOut, std::size_t count) {
    switch (Runnable(level)) {
#ifdef PANDRY_X86_VECTORS
        case VectorLevel::kAvx512Vbmi:
            return LookUpVbmi(table, pIn, pOut, count);
        case VectorLevel::kAvx2:
            return LookUpAvx2(table, pIn, pOut, count);
#endif
        default:
            return LookUpPlain(table, pIn, pOut, count);
    }
}

void LookUpShiftedBytes(VectorLevel level, const ByteTable& table, const std::uint8_t* pIn,
                        const std::int16_t* pShift, std::uint8_t* pOut, std::size_t count) {
    switch (Runnable(level)) {
#ifdef PANDRY_X86_VECTORS
        case VectorLevel::kAvx512Vbmi:
            return LookUpShiftedVbmi(table, pIn, pShift, pOut, count);
        case VectorLevel::kAvx2:
            return LookUpShiftedAvx2(table, pIn, pShift, pOut, count);
#endif
        default:
            return LookUpShiftedPlain(table, pIn, pShift, pOut, count);
    }
}
