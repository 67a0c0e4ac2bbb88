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
void FillFoveaCells(const Byte* pFrame, Byte* pColorFrame) {
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

// Rings 42 .. 149 in eight-ring blocks, the last block overlapping the one before (it
// writes the same bytes again); rings 150 and 151 by the plain form.
template <int Phase>
PANDRY_RING_VECTORS void EstimatePeripheryVector(const Byte* pFrame, int s, Byte* pColorFrame) {
    const Neighbourhood n = NeighbourhoodOf(pFrame, s);
    Byte* pSector = pColorFrame + FrameIndex(s, 0) * 3;
    constexpr int kBlock = 8;
    constexpr int kLastBlock = kRings - 2 - kBlock;
    for (int r0 = kFoveaRings; r0 < kLastBlock; r0 += kBlock) {
        EstimateEightRings(n, Phase, r0, pSector);
    }
    EstimateEightRings(n, Phase, kLastBlock, pSector);
    EstimateEvenRing<Phase>(n, kRings - 2, pSector + (kRings - 2) * 3);
    EstimateOuterRing<Phase>(n, pSector + (kRings - 1) * 3);
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
    FillFoveaCells(pFrame, pColorFrame);
    CopyPixel(pColorFrame, 1, 0);
}
