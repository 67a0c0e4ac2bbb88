// Contrast stretch and colour reconstruction of one mosaic frame. Every estimate adds the
// samples sharing a weight as integers, multiplies each sum by its weight and adds the
// products in a fixed order, each step rounded to double; the result is truncated. The
// directory builds with -ffp-contract=off, so no multiply-add is ever fused.
#include <algorithm>
#include <array>
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "processing/ByteVector.h"
#include "processing/ColorProcessor.h"
#include "processing/ReconstructColor.h"
#include "processing/VectorLookup.h"

namespace {

using Byte = std::uint8_t;

constexpr double kSectorZeroNear = 0.33;
constexpr double kSectorZeroFar = 0.17;
constexpr double kRingNear = 0.286;
constexpr double kRingFar = 0.143;
constexpr double kThirdPair = 0.242;
constexpr double kThirdSide = 0.343;
constexpr double kThirdDiagonal = 0.171;
constexpr double kEdgeRingFar = 0.2;
constexpr double kEdgeRingNear = 0.4;
constexpr double kEdgeThirdFar = 0.226;
constexpr double kEdgeThirdSide = 0.453;
constexpr double kEdgeThirdInner = 0.32;

// Own, ring and third colour byte for each sector phase (sector mod 3).
struct PixelSlots {
    int own;
    int ring;
    int third;
};
constexpr PixelSlots kEvenRingSlots[3] = {
    {kGreenByte, kRedByte, kBlueByte},
    {kBlueByte, kGreenByte, kRedByte},
    {kRedByte, kBlueByte, kGreenByte},
};
constexpr PixelSlots kOddRingSlots[3] = {
    {kRedByte, kGreenByte, kBlueByte},
    {kGreenByte, kBlueByte, kRedByte},
    {kBlueByte, kRedByte, kGreenByte},
};

// Every product a periphery estimate forms (weight times an integer sum of samples),
// evaluated once by the same double multiplication; a look-up replaces the conversion
// and the multiply in the inner loops without changing a bit of any product.
template <int Count>
struct ProductTable {
    double product[Count];
    constexpr explicit ProductTable(double weight) : product{} {
        for (int sum = 0; sum < Count; ++sum) {
            product[sum] = weight * sum;
        }
    }
    double operator[](int sum) const { return product[sum]; }
};

constexpr int kOneSample = 256;
constexpr int kTwoSamples = 2 * 255 + 1;
constexpr int kThreeSamples = 3 * 255 + 1;
constexpr ProductTable<kThreeSamples> kRingNearProducts(kRingNear);
constexpr ProductTable<kOneSample> kRingFarProducts(kRingFar);
constexpr ProductTable<kTwoSamples> kThirdPairProducts(kThirdPair);
constexpr ProductTable<kOneSample> kThirdSideProducts(kThirdSide);
constexpr ProductTable<kOneSample> kThirdDiagonalProducts(kThirdDiagonal);

Byte Truncate(double value) {
    return static_cast<Byte>(static_cast<int>(value));
}

const Byte* SectorAt(const Byte* pFrame, int sector) {
    return pFrame + FrameIndex((sector + kSectors) % kSectors, 0);
}

// Each sector's periphery is 110 bytes: seven 16-byte chunks, the last overlapping the
// one before, which the minimum and the maximum do not mind.
constexpr int kChunk = 16;

void FindPeripheryRange(const Byte* pFrame, Byte& low, Byte& high) {
    SixteenBytes lows = LoadSixteen(pFrame + kFoveaRings);
    SixteenBytes highs = lows;
    for (int s = 0; s < kSectors; ++s) {
        const Byte* pSector = pFrame + FrameIndex(s, 0);
        for (int start = kFoveaRings; start < kRings; start += kChunk) {
            const SixteenBytes chunk = LoadSixteen(pSector + std::min(start, kRings - kChunk));
            lows = chunk < lows ? chunk : lows;
            highs = chunk > highs ? chunk : highs;
        }
    }
    low = lows[0];
    high = highs[0];
    for (int j = 1; j < kChunk; ++j) {
        low = std::min(low, lows[j]);
        high = std::max(high, highs[j]);
    }
}

void StretchContrast(Byte* pFrame) {
    Byte low = 0;
    Byte high = 0;
    FindPeripheryRange(pFrame, low, high);
    if (low == 0 && high == 255) {
        return;  // the stretch would map every sample onto itself
    }
    std::array<Byte, 256> stretched{};
    for (int v = 0; v < 256; ++v) {
        if (v <= low) {
            stretched[v] = 0;
        } else if (v >= high) {
            stretched[v] = 255;
        } else {
            stretched[v] = Byte(255 * (v - low) / (high - low));
        }
    }
    LookUpBytes(stretched, pFrame, pFrame, kFrameBytes);
}

// Sector 0 itself is never read, so rewriting it ring by ring is safe.
void ReestimateSectorZero(Byte* pFrame) {
    const Byte* pNext = SectorAt(pFrame, 1);
    const Byte* pSecondNext = SectorAt(pFrame, 2);
    const Byte* pPrevious = SectorAt(pFrame, -1);
    const Byte* pSecondPrevious = SectorAt(pFrame, -2);
    for (int r = kFoveaRings; r < kRings; r += 2) {
        pFrame[r] = Truncate(kSectorZeroNear * (pNext[r - 1] + pNext[r + 1]) +
                             kSectorZeroFar * (pSecondPrevious[r - 1] + pSecondPrevious[r + 1]));
        const int odd = r + 1;
        const int outer = OuterNeighbourRing(odd);
        pFrame[odd] = Truncate(kSectorZeroNear * (pPrevious[odd - 1] + pPrevious[outer]) +
                               kSectorZeroFar * (pSecondNext[odd - 1] + pSecondNext[outer]));
    }
}

// The five sectors an estimate of sector s reads, wrapped around the frame.
struct Neighbourhood {
    const Byte* here;
    const Byte* previous;
    const Byte* secondPrevious;
    const Byte* next;
    const Byte* secondNext;
};

Neighbourhood NeighbourhoodOf(const Byte* pFrame, int s) {
    return {SectorAt(pFrame, s), SectorAt(pFrame, s - 1), SectorAt(pFrame, s - 2),
            SectorAt(pFrame, s + 1), SectorAt(pFrame, s + 2)};
}

template <int Phase>
[[gnu::always_inline]] inline void EstimateEvenRing(const Neighbourhood& n, int r, Byte* pPixel) {
    constexpr PixelSlots slots = kEvenRingSlots[Phase];
    pPixel[slots.own] = n.here[r];
    pPixel[slots.ring] = Truncate(kRingNearProducts[n.here[r - 1] + n.here[r + 1] + n.previous[r]] +
                                  kRingFarProducts[n.secondNext[r]]);
    const double pair = kThirdPairProducts[n.previous[r - 1] + n.secondPrevious[r]];
    const double side = kThirdSideProducts[n.next[r]];
    const double diagonal = kThirdDiagonalProducts[n.previous[r + 1]];
    if constexpr (Phase == 2) {
        pPixel[slots.third] = Truncate(pair + side + diagonal);
    } else {
        pPixel[slots.third] = Truncate(pair + diagonal + side);
    }
}

template <int Phase>
[[gnu::always_inline]] inline void EstimateOddRing(const Neighbourhood& n, int r, Byte* pPixel) {
    constexpr PixelSlots slots = kOddRingSlots[Phase];
    pPixel[slots.own] = n.here[r];
    pPixel[slots.ring] = Truncate(kRingNearProducts[n.here[r - 1] + n.here[r + 1] + n.next[r]] +
                                  kRingFarProducts[n.secondPrevious[r]]);
    const double pair = kThirdPairProducts[n.next[r - 1] + n.secondNext[r]];
    const double side = kThirdSideProducts[n.previous[r]];
    const double diagonal = kThirdDiagonalProducts[n.next[r + 1]];
    pPixel[slots.third] = Truncate(pair + diagonal + side);
}

template <int Phase>
void EstimateOuterRing(const Neighbourhood& n, Byte* pPixel) {
    constexpr PixelSlots slots = kOddRingSlots[Phase];
    constexpr int r = kRings - 1;
    pPixel[slots.own] = n.here[r];
    pPixel[slots.ring] =
        Truncate(kEdgeRingFar * n.secondPrevious[r] + kEdgeRingNear * (n.here[r - 1] + n.next[r]));
    pPixel[slots.third] =
        Truncate(kEdgeThirdFar * n.secondNext[r] + kEdgeThirdSide * n.previous[r] +
                 kEdgeThirdInner * n.next[r - 1]);
}

template <int Phase>
void EstimatePeriphery(const Byte* pFrame, int s, Byte* pColorFrame) {
    const Neighbourhood n = NeighbourhoodOf(pFrame, s);
    Byte* pSector = pColorFrame + FrameIndex(s, 0) * 3;
    for (int r = kFoveaRings; r < kRings - 2; r += 2) {
        EstimateEvenRing<Phase>(n, r, pSector + r * 3);
        EstimateOddRing<Phase>(n, r + 1, pSector + (r + 1) * 3);
    }
    EstimateEvenRing<Phase>(n, kRings - 2, pSector + (kRings - 2) * 3);
    EstimateOuterRing<Phase>(n, pSector + (kRings - 1) * 3);
}

// Each three-sector cell of a fovea ring shows one colour: green, blue, red samples.
void FillFoveaCellsPlain(const Byte* pFrame, Byte* pColorFrame) {
    for (int s = 0; s < kSectors; s += 3) {
        const Byte* pGreen = pFrame + FrameIndex(s, 0);
        const Byte* pBlue = pFrame + FrameIndex(s + 1, 0);
        const Byte* pRed = pFrame + FrameIndex(s + 2, 0);
        for (int cellSector = s; cellSector < s + 3; ++cellSector) {
            Byte* pPixel = pColorFrame + FrameIndex(cellSector, 0) * 3;
            for (int l = 0; l < kFoveaRings; ++l, pPixel += 3) {
                pPixel[kBlueByte] = pBlue[l];
                pPixel[kGreenByte] = pGreen[l];
                pPixel[kRedByte] = pRed[l];
            }
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define PANDRY_RECONSTRUCT_VECTORS 1

#define PANDRY_RING_VECTORS __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi")))

bool RingVectorsAvailable() {
    static const bool available =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512vbmi");
    return available;
}

// Where output byte 3k + b of eight pixels (k even: an even ring) takes its value from:
// own samples are bytes 0..7 of the gathered block, ring estimates 8..15, third 16..23.
struct PixelOrder {
    alignas(32) std::uint8_t byte[32];
};
constexpr PixelOrder MakePixelOrder(int phase) {
    PixelOrder order{};
    for (int k = 0; k < 8; ++k) {
        const PixelSlots slots = k % 2 == 0 ? kEvenRingSlots[phase] : kOddRingSlots[phase];
        order.byte[3 * k + slots.own] = static_cast<std::uint8_t>(k);
        order.byte[3 * k + slots.ring] = static_cast<std::uint8_t>(8 + k);
        order.byte[3 * k + slots.third] = static_cast<std::uint8_t>(16 + k);
    }
    return order;
}
constexpr PixelOrder kPixelOrder[3] = {MakePixelOrder(0), MakePixelOrder(1), MakePixelOrder(2)};

// The zero-masking conversions: GCC 12 warns about the plain ones' undefined source.
constexpr __mmask8 kAllLanes = 0xFF;
constexpr __mmask16 kAllLanes16 = 0xFFFF;
constexpr __mmask64 kAllBytes = ~__mmask64{0};

PANDRY_RING_VECTORS inline __m256i EightSamples(const Byte* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

PANDRY_RING_VECTORS inline __m512d Times(double weight, __m256i sums) {
    return _mm512_mul_pd(_mm512_set1_pd(weight), _mm512_maskz_cvtepi32_pd(kAllLanes, sums));
}

PANDRY_RING_VECTORS inline __m128i TruncatedBytes(__m512d values) {
    return _mm512_maskz_cvtepi64_epi8(kAllLanes, _mm512_maskz_cvttpd_epi64(kAllLanes, values));
}

// Even lanes from the first, odd lanes from the second.
PANDRY_RING_VECTORS inline __m256i OddFrom(__m256i even, __m256i odd) {
    return _mm256_blend_epi32(even, odd, 0xAA);
}

// The estimates of rings r0 .. r0 + 7 (r0 even) of one sector, lane by lane the products
// and sums of the plain form in the same order: the odd lanes read the other neighbours.
PANDRY_RING_VECTORS void EstimateEightRings(const Neighbourhood& n, int phase, int r0,
                                            Byte* pSector) {
    constexpr __mmask8 kOdd = 0xAA;
    const __m256i previous = EightSamples(n.previous + r0);
    const __m256i next = EightSamples(n.next + r0);
    const __m256i secondPrevious = EightSamples(n.secondPrevious + r0);
    const __m256i secondNext = EightSamples(n.secondNext + r0);
    const __m256i ringSum = _mm256_add_epi32(
        _mm256_add_epi32(EightSamples(n.here + r0 - 1), EightSamples(n.here + r0 + 1)),
        OddFrom(previous, next));
    const __m256i ringFar = OddFrom(secondNext, secondPrevious);
    const __m256i pairSum =
        _mm256_add_epi32(OddFrom(EightSamples(n.previous + r0 - 1), EightSamples(n.next + r0 - 1)),
                         OddFrom(secondPrevious, secondNext));
    const __m256i diagonalSample =
        OddFrom(EightSamples(n.previous + r0 + 1), EightSamples(n.next + r0 + 1));
    const __m256i sideSample = OddFrom(next, previous);

    const __m512d ring = _mm512_add_pd(Times(kRingNear, ringSum), Times(kRingFar, ringFar));
    const __m512d pair = Times(kThirdPair, pairSum);
    const __m512d diagonal = Times(kThirdDiagonal, diagonalSample);
    const __m512d side = Times(kThirdSide, sideSample);
    __m512d third = _mm512_add_pd(_mm512_add_pd(pair, diagonal), side);
    if (phase == 2) {
        // Phase 2's even rings add the side product before the diagonal one.
        third = _mm512_mask_blend_pd(__mmask8(~kOdd), third,
                                     _mm512_add_pd(_mm512_add_pd(pair, side), diagonal));
    }
    const __m128i own = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n.here + r0));
    const __m256i gathered = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_unpacklo_epi64(own, TruncatedBytes(ring))),
        TruncatedBytes(third), 1);
    const __m256i order =
        _mm256_load_si256(reinterpret_cast<const __m256i*>(kPixelOrder[phase].byte));
    _mm256_mask_storeu_epi8(pSector + r0 * 3, 0xFFFFFF,
                            _mm256_maskz_permutexvar_epi8(~__mmask32{0}, order, gathered));
}

// Every weight is a whole number of thousandths, so an estimate is q / 1000 for the integer
// q of the same weights in thousandths: below 2^18, so every product and sum of q is exact in
// floats, fused or not. The doubles stay within 1e-13 of q / 1000 and truncate to its floor
// unless q is a positive multiple of 1000, where they may land just below it. x = q / 1000 -
// 0.0005 in floats (within 3.1e-5) truncates to that floor too, and shows such a q by its
// fraction: 0.9995 then, at most 0.9986 otherwise.
constexpr float kFractionOfAMultiple = 0.999f;

// Per lane, q / 1000 rounded down as the doubles round it, and the fraction that shows a
// positive multiple of 1000.
PANDRY_RING_VECTORS inline __m512i Thousandths(__m512 q, __m512& fraction) {
    const __m512 x = _mm512_fmsub_ps(q, _mm512_set1_ps(0.001f), _mm512_set1_ps(0.0005f));
    fraction = _mm512_maskz_reduce_ps(kAllLanes16, x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    return _mm512_maskz_cvttps_epi32(kAllLanes16, x);
}

PANDRY_RING_VECTORS inline __m512 Whole(__m512i samples) {
    return _mm512_maskz_cvtepi32_ps(kAllLanes16, samples);
}

PANDRY_RING_VECTORS inline __m512 Scaled(int weight, __m512i samples) {
    return _mm512_mul_ps(_mm512_set1_ps(float(weight)), Whole(samples));
}

// q + weight times the samples.
PANDRY_RING_VECTORS inline __m512 AddScaled(__m512 q, int weight, __m512i samples) {
    return _mm512_fmadd_ps(_mm512_set1_ps(float(weight)), Whole(samples), q);
}

PANDRY_RING_VECTORS inline __m512i Widened(__m128i bytes) {
    return _mm512_maskz_cvtepu8_epi32(kAllLanes16, bytes);
}

PANDRY_RING_VECTORS inline __m128i Sixteen(const Byte* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Even lanes from the first, odd lanes from the second.
PANDRY_RING_VECTORS inline __m128i OddBytesFrom(__m128i even, __m128i odd) {
    return _mm_mask_blend_epi8(0xAAAA, even, odd);
}

// Where output byte 3k + b of sixteen pixels takes its value from, in the ring and third
// estimates packed four to a 128-bit lane (ring estimates of pixels 4i .. 4i + 3 at bytes
// 16i .. 16i + 3, third at 16i + 4 ..) and the own samples at 64 .. 79.
struct SixteenOrder {
    alignas(64) std::uint8_t byte[64];
};
constexpr SixteenOrder MakeSixteenOrder(int phase) {
    SixteenOrder order{};
    for (int k = 0; k < 16; ++k) {
        const PixelSlots slots = k % 2 == 0 ? kEvenRingSlots[phase] : kOddRingSlots[phase];
        const int packed = 16 * (k / 4) + k % 4;
        order.byte[3 * k + slots.own] = static_cast<std::uint8_t>(64 + k);
        order.byte[3 * k + slots.ring] = static_cast<std::uint8_t>(packed);
        order.byte[3 * k + slots.third] = static_cast<std::uint8_t>(packed + 4);
    }
    return order;
}
constexpr SixteenOrder kSixteenOrder[3] = {MakeSixteenOrder(0), MakeSixteenOrder(1),
                                           MakeSixteenOrder(2)};

// The estimates of rings r0 .. r0 + 15 (r0 even) of one sector from the thousandths of
// their weights; false, writing nothing, if any of them needs the doubles' own rounding.
PANDRY_RING_VECTORS bool EstimateSixteenRings(const Neighbourhood& n, const __m512i& order, int r0,
                                              Byte* pSector) {
    const __m128i previous = Sixteen(n.previous + r0);
    const __m128i next = Sixteen(n.next + r0);
    const __m128i secondPrevious = Sixteen(n.secondPrevious + r0);
    const __m128i secondNext = Sixteen(n.secondNext + r0);
    const __m512i ringSum = _mm512_add_epi32(
        _mm512_add_epi32(Widened(Sixteen(n.here + r0 - 1)), Widened(Sixteen(n.here + r0 + 1))),
        Widened(OddBytesFrom(previous, next)));
    // 286 and 143 thousandths: 143 times twice the near sum plus the far sample.
    const __m512i ringUnits = _mm512_add_epi32(_mm512_add_epi32(ringSum, ringSum),
                                               Widened(OddBytesFrom(secondNext, secondPrevious)));
    const __m512i pairSum = _mm512_add_epi32(
        Widened(OddBytesFrom(Sixteen(n.previous + r0 - 1), Sixteen(n.next + r0 - 1))),
        Widened(OddBytesFrom(secondPrevious, secondNext)));
    const __m512i diagonal =
        Widened(OddBytesFrom(Sixteen(n.previous + r0 + 1), Sixteen(n.next + r0 + 1)));
    const __m512i side = Widened(OddBytesFrom(next, previous));
    __m512 ringFraction;
    __m512 thirdFraction;
    const __m512 zero = _mm512_setzero_ps();
    const __m512i ring = Thousandths(AddScaled(zero, 143, ringUnits), ringFraction);
    const __m512i third =
        Thousandths(AddScaled(AddScaled(AddScaled(zero, 343, side), 171, diagonal), 242, pairSum),
                    thirdFraction);
    if (_mm512_cmp_ps_mask(_mm512_maskz_max_ps(kAllLanes16, ringFraction, thirdFraction),
                           _mm512_set1_ps(kFractionOfAMultiple), _CMP_GT_OQ) != 0) {
        return false;
    }
    const __m512i packed = _mm512_packus_epi16(_mm512_packus_epi32(ring, third), ring);
    const __m512i own = _mm512_zextsi128_si512(Sixteen(n.here + r0));
    _mm512_mask_storeu_epi8(pSector + r0 * 3, 0xFFFFFFFFFFFF,
                            _mm512_maskz_permutex2var_epi8(kAllBytes, packed, order, own));
    return true;
}

// Rings 42 .. 149 in sixteen-ring blocks, the last block overlapping the one before (it
// writes the same bytes again), a block that needs the doubles as two of eight; rings 150
// and 151 by the plain form.
template <int Phase>
PANDRY_RING_VECTORS void EstimatePeripheryVector(const Byte* pFrame, int s, Byte* pColorFrame) {
    const Neighbourhood n = NeighbourhoodOf(pFrame, s);
    Byte* pSector = pColorFrame + FrameIndex(s, 0) * 3;
    const __m512i order = _mm512_load_si512(kSixteenOrder[Phase].byte);
    constexpr int kBlock = 16;
    constexpr int kLastBlock = kRings - 2 - kBlock;
    for (int r0 = kFoveaRings;; r0 += kBlock) {
        r0 = std::min(r0, kLastBlock);
        if (!EstimateSixteenRings(n, order, r0, pSector)) {
            EstimateEightRings(n, Phase, r0, pSector);
            EstimateEightRings(n, Phase, r0 + kBlock / 2, pSector);
        }
        if (r0 == kLastBlock) {
            break;
        }
    }
    EstimateEvenRing<Phase>(n, kRings - 2, pSector + (kRings - 2) * 3);
    EstimateOuterRing<Phase>(n, pSector + (kRings - 1) * 3);
}

// Output byte b of a fovea cell's 126 (ring b / 3, colour b % 3: blue, green, red) in the
// tables of rings 0 .. 31 (first half, green then blue, 32 bytes each; second half red) or
// 16 .. 47 for the cell's second 64 bytes.
struct CellOrder {
    alignas(64) std::uint8_t byte[2][64];
};
constexpr CellOrder MakeCellOrder() {
    CellOrder order{};
    for (int half = 0; half < 2; ++half) {
        const int firstRing = 16 * half;
        for (int b = 0; b < 64; ++b) {
            const int ring = std::min((64 * half + b) / 3, kFoveaRings - 1) - firstRing;
            const int colour = (64 * half + b) % 3;
            const int table = colour == kBlueByte ? 32 : colour == kGreenByte ? 0 : 64;
            order.byte[half][b] = static_cast<std::uint8_t>(table + ring);
        }
    }
    return order;
}
constexpr CellOrder kCellOrder = MakeCellOrder();

constexpr __mmask64 kLowHalf = 0xFFFFFFFF;

// 32 bytes from each row, side by side.
PANDRY_RING_VECTORS inline __m512i TwoRows(const Byte* pFirst, const Byte* pSecond) {
    return _mm512_mask_loadu_epi8(_mm512_maskz_loadu_epi8(kLowHalf, pFirst), ~kLowHalf,
                                  pSecond - 32);
}

// The cells' pixels built by two permutes each and stored in their three sectors.
PANDRY_RING_VECTORS void FillFoveaCellsVector(const Byte* pFrame, Byte* pColorFrame) {
    constexpr __mmask64 kLastBytes = (__mmask64{1} << (kFoveaRings * 3 - 64)) - 1;
    const __m512i firstOrder = _mm512_load_si512(kCellOrder.byte[0]);
    const __m512i secondOrder = _mm512_load_si512(kCellOrder.byte[1]);
    for (int s = 0; s < kSectors; s += 3) {
        const Byte* pGreen = pFrame + FrameIndex(s, 0);
        const Byte* pBlue = pFrame + FrameIndex(s + 1, 0);
        const Byte* pRed = pFrame + FrameIndex(s + 2, 0);
        const __m512i first = _mm512_maskz_permutex2var_epi8(
            kAllBytes, TwoRows(pGreen, pBlue), firstOrder, _mm512_maskz_loadu_epi8(kLowHalf, pRed));
        const __m512i second =
            _mm512_maskz_permutex2var_epi8(kAllBytes, TwoRows(pGreen + 16, pBlue + 16), secondOrder,
                                           _mm512_maskz_loadu_epi8(kLowHalf, pRed + 16));
        for (int cellSector = s; cellSector < s + 3; ++cellSector) {
            Byte* pPixels = pColorFrame + FrameIndex(cellSector, 0) * 3;
            _mm512_storeu_si512(pPixels, first);
            _mm512_mask_storeu_epi8(pPixels + 64, kLastBytes, second);
        }
    }
}

#endif

// False, writing nothing, where the processor cannot run the vectors.
bool EstimateAllInVectors(const Byte* pFrame, Byte* pColorFrame) {
#ifdef PANDRY_RECONSTRUCT_VECTORS
    if (!RingVectorsAvailable()) {
        return false;
    }
    for (int s = 0; s < kSectors; s += 3) {
        EstimatePeripheryVector<0>(pFrame, s, pColorFrame);
        EstimatePeripheryVector<1>(pFrame, s + 1, pColorFrame);
        EstimatePeripheryVector<2>(pFrame, s + 2, pColorFrame);
    }
    return true;
#else
    (void)pFrame;
    (void)pColorFrame;
    return false;
#endif
}

void FillFoveaCells(const Byte* pFrame, Byte* pColorFrame, bool vectors) {
#ifdef PANDRY_RECONSTRUCT_VECTORS
    if (vectors && RingVectorsAvailable()) {
        FillFoveaCellsVector(pFrame, pColorFrame);
        return;
    }
#endif
    FillFoveaCellsPlain(pFrame, pColorFrame);
}

void CopyPixel(Byte* pColorFrame, int fromRing, int toRing) {
    std::copy_n(pColorFrame + fromRing * 3, 3, pColorFrame + toRing * 3);
}

}  // namespace

bool CColorProcessor::ReconstructsInVectors() {
#ifdef PANDRY_RECONSTRUCT_VECTORS
    return RingVectorsAvailable();
#else
    return false;
#endif
}

void CColorProcessor::ReconstructColor(std::uint8_t* pFrame, std::uint8_t* pColorFrame,
                                       bool vectors) {
    StretchContrast(pFrame);
    ReestimateSectorZero(pFrame);
    if (!vectors || !EstimateAllInVectors(pFrame, pColorFrame)) {
        for (int s = 0; s < kSectors; s += 3) {
            EstimatePeriphery<0>(pFrame, s, pColorFrame);
            EstimatePeriphery<1>(pFrame, s + 1, pColorFrame);
            EstimatePeriphery<2>(pFrame, s + 2, pColorFrame);
        }
    }
    CopyPixel(pColorFrame, kRings - 2, kRings - 1);  // sector 0 only
    FillFoveaCells(pFrame, pColorFrame, vectors);
    CopyPixel(pColorFrame, 1, 0);
}
