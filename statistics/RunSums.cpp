#include "statistics/RunSums.h"

#include <algorithm>
#include <array>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define PANDRY_AVX2 __attribute__((target("avx2")))

namespace {

// Byte counters hold up to 255 vectors' worth of samples at 0 or 255.
constexpr int kMostPending = 255;

// Partial sums of 32 samples at a time. Byte lane k holds samples of the parity of k: the
// minimum, maximum and the counters of samples at 0 and 255 keep both parities in one
// vector; the sums and squares are split.
struct Accumulators {
    __m256i sumEven;  // 4 x 64 bits
    __m256i sumOdd;
    __m256i squaresEven;  // 8 x 32 bits, each two squares a vector: far from 2^32 in a frame
    __m256i squaresOdd;
    __m256i minimum;
    __m256i maximum;
    __m256i atLow;  // byte counters
    __m256i atHigh;
    int pending = 0;
    std::uint64_t lowTotals[2] = {};
    std::uint64_t highTotals[2] = {};
};

PANDRY_AVX2 inline std::uint64_t SumOf64(__m256i v) {
    alignas(32) std::uint64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

PANDRY_AVX2 inline std::uint64_t SumOf32(__m256i v) {
    alignas(32) std::uint32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
    std::uint64_t total = 0;
    for (std::uint32_t lane : lanes) {
        total += lane;
    }
    return total;
}

// The even and odd byte lanes' counts added up.
PANDRY_AVX2 inline void EmptyCounters(Accumulators& a) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lowBytes = _mm256_set1_epi16(0x00ff);
    a.lowTotals[0] += SumOf64(_mm256_sad_epu8(_mm256_and_si256(a.atLow, lowBytes), zero));
    a.lowTotals[1] += SumOf64(_mm256_sad_epu8(_mm256_srli_epi16(a.atLow, 8), zero));
    a.highTotals[0] += SumOf64(_mm256_sad_epu8(_mm256_and_si256(a.atHigh, lowBytes), zero));
    a.highTotals[1] += SumOf64(_mm256_sad_epu8(_mm256_srli_epi16(a.atHigh, 8), zero));
    a.atLow = zero;
    a.atHigh = zero;
    a.pending = 0;
}

// Adds the lanes of v that valid marks (all of them unless kMasked).
template <bool kMasked>
PANDRY_AVX2 inline void Add(Accumulators& a, __m256i v, __m256i valid) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi8(-1);
    __m256i atLow = _mm256_cmpeq_epi8(v, zero);
    __m256i atHigh = _mm256_cmpeq_epi8(v, full);
    __m256i forMinimum = v;
    if (kMasked) {
        atLow = _mm256_and_si256(atLow, valid);
        atHigh = _mm256_and_si256(atHigh, valid);
        forMinimum = _mm256_or_si256(v, _mm256_xor_si256(valid, full));
        v = _mm256_and_si256(v, valid);
    }
    const __m256i even = _mm256_and_si256(v, _mm256_set1_epi16(0x00ff));
    const __m256i odd = _mm256_srli_epi16(v, 8);
    a.sumEven = _mm256_add_epi64(a.sumEven, _mm256_sad_epu8(even, zero));
    a.sumOdd = _mm256_add_epi64(a.sumOdd, _mm256_sad_epu8(odd, zero));
    a.squaresEven = _mm256_add_epi32(a.squaresEven, _mm256_madd_epi16(even, even));
    a.squaresOdd = _mm256_add_epi32(a.squaresOdd, _mm256_madd_epi16(odd, odd));
    a.minimum = _mm256_min_epu8(a.minimum, forMinimum);
    a.maximum = _mm256_max_epu8(a.maximum, v);
    a.atLow = _mm256_sub_epi8(a.atLow, atLow);
    a.atHigh = _mm256_sub_epi8(a.atHigh, atHigh);
    if (++a.pending == kMostPending) {
        EmptyCounters(a);
    }
}

PANDRY_AVX2 inline void AddRun(Accumulators& a, const std::uint8_t* pBegin, std::size_t length) {
    const std::size_t whole = length / 32 * 32;
    for (std::size_t k = 0; k < whole; k += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pBegin + k));
        Add<false>(a, v, v);
    }
    if (whole == length) {
        return;
    }
    // The last 32 samples from an even offset, so the lanes keep their parity; those already
    // added, and the byte past an odd run's end, are masked off.
    const std::size_t start = (length - 31) & ~std::size_t{1};
    const __m256i lanes =
        _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    const __m256i fromLane = _mm256_set1_epi8(char(whole - start - 1));
    const __m256i toLane = _mm256_set1_epi8(char(length - start));
    const __m256i valid =
        _mm256_and_si256(_mm256_cmpgt_epi8(lanes, fromLane), _mm256_cmpgt_epi8(toLane, lanes));
    Add<true>(a, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pBegin + start)), valid);
}

PANDRY_AVX2 void AddRunSumsAvx2(const std::uint8_t* pLevels, std::span<const SampleRun> runs,
                                LevelSums& even, LevelSums& odd) {
    Accumulators a;
    a.sumEven = a.sumOdd = a.squaresEven = a.squaresOdd = _mm256_setzero_si256();
    a.maximum = a.atLow = a.atHigh = _mm256_setzero_si256();
    a.minimum = _mm256_set1_epi8(-1);
    std::uint64_t samples[2] = {};
    for (const SampleRun& run : runs) {
        const std::size_t length = run.end - run.begin;
        AddRun(a, pLevels + run.begin, length);
        samples[0] += (length + 1) / 2;
        samples[1] += length / 2;
    }
    EmptyCounters(a);
    alignas(32) std::uint8_t minimum[32];
    alignas(32) std::uint8_t maximum[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(minimum), a.minimum);
    _mm256_store_si256(reinterpret_cast<__m256i*>(maximum), a.maximum);
    LevelSums* sums[2] = {&even, &odd};
    const std::uint64_t sumOf[2] = {SumOf64(a.sumEven), SumOf64(a.sumOdd)};
    const std::uint64_t squaresOf[2] = {SumOf32(a.squaresEven), SumOf32(a.squaresOdd)};
    for (int parity = 0; parity < 2; ++parity) {
        if (samples[parity] == 0) {
            continue;
        }
        LevelSums& s = *sums[parity];
        for (int lane = parity; lane < 32; lane += 2) {
            s.minimum = std::min(s.minimum, int(minimum[lane]));
            s.maximum = std::max(s.maximum, int(maximum[lane]));
        }
        s.samples += samples[parity];
        s.sum += sumOf[parity];
        s.squares += squaresOf[parity];
        s.atLow += a.lowTotals[parity];
        s.atHigh += a.highTotals[parity];
    }
}

}  // namespace

bool AddRunSums(const std::uint8_t* pLevels, std::span<const SampleRun> runs, LevelSums& even,
                LevelSums& odd) {
    static const bool available = __builtin_cpu_supports("avx2");
    if (!available) {
        return false;
    }
    AddRunSumsAvx2(pLevels, runs, even, odd);
    return true;
}

#else

bool AddRunSums(const std::uint8_t*, std::span<const SampleRun>, LevelSums&, LevelSums&) {
    return false;
}

#endif
