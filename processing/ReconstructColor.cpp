// Contrast stretch and colour reconstruction of one mosaic frame. Every estimate adds the
// samples sharing a weight as integers, multiplies each sum by its weight and adds the
// products in a fixed order, each step rounded to double; the result is truncated. The
// directory builds with -ffp-contract=off, so no multiply-add is ever fused.
#include <algorithm>
#include <array>
#include <cstddef>
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

bool StretchInAvx2(Byte* pFrame, Byte low, Byte high);

void StretchContrast(Byte* pFrame, bool vectors) {
    Byte low = 0;
    Byte high = 0;
    FindPeripheryRange(pFrame, low, high);
    if (low == 0 && high == 255) {
        return;  // the stretch would map every sample onto itself
    }
    if (vectors && StretchInAvx2(pFrame, low, high)) {
        return;
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

#define PANDRY_RING_VECTORS __attribute__((target("avx512f,avx512bw,avx512vbmi")))

bool RingVectorsAvailable() {
    static const bool available = __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512bw") &&
                                  __builtin_cpu_supports("avx512vbmi");
    return available;
}

// The zero-masking permutes: GCC 12 warns about the plain ones' undefined source.
constexpr __mmask64 kAllBytes = ~__mmask64{0};

// Every weight is a whole number of thousandths, so an estimate is q / 1000 for the integer
// q of the same weights in thousandths. The doubles stay within 1e-13 of q / 1000 and so
// truncate to its floor, unless q is a positive multiple of 1000, where they may land just
// below it: those estimates are left to the plain form. The floors are taken in 16-bit
// words, the even and the odd rings apart (each reads its own neighbours): a ring estimate
// is 143 u / 1000 for u = twice the near sum plus the far sample (up to 1785); a third one
// is q = 242 pair + 171 diagonal + 343 side = 8 (30 pair + 21 diagonal + 42 side) + (2 pair
// + 3 diagonal + 7 side), whose eighth fits a word, and whose floor is that eighth's 125th.
constexpr std::uint32_t HighWord(std::uint32_t a, std::uint32_t b) {
    return a * b >> 16;
}
constexpr std::uint32_t kEighths = 36608;    // x 32 u: 143 u / 8
constexpr std::uint32_t kHundredth = 33555;  // then >> 6: / 125
constexpr bool RingFloorsHold() {
    for (std::uint32_t u = 0; u <= 2 * 765 + 255; ++u) {
        if (HighWord(HighWord(u << 5, kEighths), kHundredth) >> 6 != 143 * u / 1000) {
            return false;
        }
    }
    return true;
}
constexpr bool ThirdFloorsHold() {
    for (std::uint32_t w = 0; w <= (242 * 510 + 171 * 255 + 343 * 255) / 8; ++w) {
        if (HighWord(w, kHundredth) >> 6 != w / 125) {
            return false;
        }
    }
    return true;
}
static_assert(RingFloorsHold() && ThirdFloorsHold());

// The even (kShift 0) or odd (8) bytes of a 64-byte block, each times its weight, as words;
// no product reaches the words' signed saturation.
template <int kShift>
PANDRY_RING_VECTORS inline __m512i Weighted(__m512i bytes, int weight) {
    return _mm512_maddubs_epi16(bytes, _mm512_set1_epi16(static_cast<short>(weight << kShift)));
}

struct RingEstimates {
    __m512i ring;
    __m512i third;
    __mmask32 plain;  // the estimates the plain form must make
};

// The 32 even or odd rings of a 64-ring block, from the blocks of their neighbours.
template <int kShift>
PANDRY_RING_VECTORS inline RingEstimates EstimateRings(__m512i inner, __m512i outer, __m512i near,
                                                       __m512i far, __m512i pairNear,
                                                       __m512i pairFar, __m512i diagonal,
                                                       __m512i side) {
    const __m512i u =
        _mm512_add_epi16(_mm512_add_epi16(Weighted<kShift>(inner, 2), Weighted<kShift>(outer, 2)),
                         _mm512_add_epi16(Weighted<kShift>(near, 2), Weighted<kShift>(far, 1)));
    const __m512i ring = _mm512_srli_epi16(
        _mm512_mulhi_epu16(
            _mm512_mulhi_epu16(_mm512_slli_epi16(u, 5), _mm512_set1_epi16(short(kEighths))),
            _mm512_set1_epi16(short(kHundredth))),
        6);
    const __m512i high = _mm512_add_epi16(
        _mm512_add_epi16(Weighted<kShift>(pairNear, 30), Weighted<kShift>(pairFar, 30)),
        _mm512_add_epi16(Weighted<kShift>(diagonal, 21), Weighted<kShift>(side, 42)));
    const __m512i low = _mm512_add_epi16(
        _mm512_add_epi16(Weighted<kShift>(pairNear, 2), Weighted<kShift>(pairFar, 2)),
        _mm512_add_epi16(Weighted<kShift>(diagonal, 3), Weighted<kShift>(side, 7)));
    const __m512i eighth = _mm512_add_epi16(high, _mm512_srli_epi16(low, 3));
    const __m512i third =
        _mm512_srli_epi16(_mm512_mulhi_epu16(eighth, _mm512_set1_epi16(short(kHundredth))), 6);
    // q is a multiple of 1000 when its eighth is whole and a multiple of 125.
    const __m512i rest = _mm512_or_si512(
        _mm512_and_si512(low, _mm512_set1_epi16(7)),
        _mm512_sub_epi16(eighth, _mm512_mullo_epi16(third, _mm512_set1_epi16(125))));
    const __mmask32 thirdPlain = _mm512_mask_cmpeq_epi16_mask(
        _mm512_test_epi16_mask(eighth, eighth), rest, _mm512_setzero_si512());
    return {ring, third, thirdPlain | _mm512_cmpeq_epi16_mask(u, _mm512_set1_epi16(1000))};
}

// For store t of a 64-ring block's 192 bytes: where each byte comes from in the even rings'
// and the odd rings' estimates packed to bytes (ring estimates of rings 8j .. 8j + 7 of a
// parity at bytes 16j .., third ones 8 on; odd rings' from 64), and the own samples' bytes.
struct BlockOrder {
    alignas(64) std::uint8_t estimate[3][64];
    alignas(64) std::uint8_t own[3][64];
    std::uint64_t ownBytes[3];
};
constexpr BlockOrder MakeBlockOrder(int phase) {
    BlockOrder order{};
    for (int t = 0; t < 3; ++t) {
        for (int b = 0; b < 64; ++b) {
            const int k = (64 * t + b) / 3;
            const int slot = (64 * t + b) % 3;
            const PixelSlots slots = k % 2 == 0 ? kEvenRingSlots[phase] : kOddRingSlots[phase];
            const int i = k / 2;
            const int packed = 64 * (k % 2) + 16 * (i / 8) + i % 8;
            order.estimate[t][b] =
                static_cast<std::uint8_t>(slot == slots.third ? packed + 8 : packed);
            order.own[t][b] = static_cast<std::uint8_t>(k);
            if (slot == slots.own) {
                order.ownBytes[t] |= std::uint64_t{1} << b;
            }
        }
    }
    return order;
}
constexpr BlockOrder kBlockOrder[3] = {MakeBlockOrder(0), MakeBlockOrder(1), MakeBlockOrder(2)};

// 64 bytes, or those of them in `bytes`.
PANDRY_RING_VECTORS inline __m512i Block(const Byte* p, __mmask64 bytes = kAllBytes) {
    return _mm512_maskz_loadu_epi8(bytes, p);
}

// Rings r0 .. r0 + 63 (r0 even) of one sector; the few estimates whose q is a positive
// multiple of 1000 are then made again by the plain form. Ring 151, which has no ring
// outside it, is left for its own estimate: the reads stop at the sector's end.
template <int Phase>
PANDRY_RING_VECTORS void EstimateSixtyFourRings(const Neighbourhood& n, int r0, Byte* pSector) {
    const int outerRings = kRings - 1 - r0;
    const __mmask64 inSector = outerRings >= 64 ? kAllBytes : (__mmask64{1} << outerRings) - 1;
    const __m512i inner = Block(n.here + r0 - 1);
    const __m512i outer = Block(n.here + r0 + 1, inSector);
    const __m512i previous = Block(n.previous + r0);
    const __m512i next = Block(n.next + r0);
    const __m512i secondPrevious = Block(n.secondPrevious + r0);
    const __m512i secondNext = Block(n.secondNext + r0);
    const RingEstimates even =
        EstimateRings<0>(inner, outer, previous, secondNext, Block(n.previous + r0 - 1),
                         secondPrevious, Block(n.previous + r0 + 1, inSector), next);
    const RingEstimates odd =
        EstimateRings<8>(inner, outer, next, secondPrevious, Block(n.next + r0 - 1), secondNext,
                         Block(n.next + r0 + 1, inSector), previous);
    const __m512i evenBytes = _mm512_packus_epi16(even.ring, even.third);
    const __m512i oddBytes = _mm512_packus_epi16(odd.ring, odd.third);
    const __m512i own = Block(n.here + r0);
    const BlockOrder& order = kBlockOrder[Phase];
    for (int t = 0; t < 3; ++t) {
        const __m512i estimates = _mm512_maskz_permutex2var_epi8(
            kAllBytes, evenBytes, _mm512_load_si512(order.estimate[t]), oddBytes);
        _mm512_storeu_si512(pSector + r0 * 3 + 64 * t,
                            _mm512_mask_permutexvar_epi8(estimates, order.ownBytes[t],
                                                         _mm512_load_si512(order.own[t]), own));
    }
    for (std::uint32_t plain = even.plain; plain != 0; plain &= plain - 1) {
        const int r = r0 + 2 * __builtin_ctz(plain);
        EstimateEvenRing<Phase>(n, r, pSector + r * 3);
    }
    for (std::uint32_t plain = odd.plain; plain != 0; plain &= plain - 1) {
        const int r = r0 + 2 * __builtin_ctz(plain) + 1;
        if (r < kRings - 1) {
            EstimateOddRing<Phase>(n, r, pSector + r * 3);
        }
    }
}

// Rings 42 .. 150 in two blocks of 64, the second overlapping the first (it writes the same
// bytes again); ring 151 by the plain form.
template <int Phase>
PANDRY_RING_VECTORS void EstimatePeripheryVector(const Byte* pFrame, int s, Byte* pColorFrame) {
    const Neighbourhood n = NeighbourhoodOf(pFrame, s);
    Byte* pSector = pColorFrame + FrameIndex(s, 0) * 3;
    constexpr int kBlock = 64;
    EstimateSixtyFourRings<Phase>(n, kFoveaRings, pSector);
    EstimateSixtyFourRings<Phase>(n, kRings - kBlock, pSector);
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

#define PANDRY_AVX2 __attribute__((target("avx2")))

// Where AVX-512 VBMI runs, its one-permute look-up is faster than any AVX2 form.
bool Avx2OnlyAvailable() {
    static const bool available = __builtin_cpu_supports("avx2") && !RingVectorsAvailable();
    return available;
}

// AVX2 has no byte look-up but gathers, which cost more than the arithmetic: with t the
// sample above the low end, at most d = high - low, the stretch is 255 t / d, whose floor is
// t times the ceiling of 255 * 65536 / d, shifted down 16 (that excess stays below 1 / d);
// taken as the products of t with the factor's two words. A flat range (d = 0) maps as
// d = 1: the low end and below to 0, above it to 255.
constexpr std::uint32_t StretchFactor(std::uint32_t d) {
    return (255 * 65536 + d - 1) / d;
}
constexpr bool StretchFloorsHold() {
    for (std::uint32_t d = 1; d <= 255; ++d) {
        const std::uint32_t factor = StretchFactor(d);
        for (std::uint32_t t = 0; t <= d; ++t) {
            if (t * (factor >> 16) + HighWord(t, factor & 0xFFFF) != 255 * t / d) {
                return false;
            }
        }
    }
    return true;
}
static_assert(StretchFloorsHold());

constexpr int kAvx2Bytes = 32;
static_assert(kFrameBytes % kAvx2Bytes == 0);

PANDRY_AVX2 inline __m256i Load32(const Byte* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

PANDRY_AVX2 inline __m256i Stretched(__m256i t, __m256i highFactor, __m256i lowFactor) {
    return _mm256_add_epi16(_mm256_mullo_epi16(t, highFactor), _mm256_mulhi_epu16(t, lowFactor));
}

PANDRY_AVX2 void StretchAvx2(Byte* pFrame, Byte low, Byte high) {
    const int range = std::max(high - low, 1);
    const std::uint32_t factor = StretchFactor(std::uint32_t(range));
    const __m256i lows = _mm256_set1_epi8(static_cast<char>(low));
    const __m256i ranges = _mm256_set1_epi8(static_cast<char>(range));
    const __m256i highFactor = _mm256_set1_epi16(static_cast<short>(factor >> 16));
    const __m256i lowFactor = _mm256_set1_epi16(static_cast<short>(factor & 0xFFFF));
    const __m256i zero = _mm256_setzero_si256();
    for (std::size_t i = 0; i < kFrameBytes; i += kAvx2Bytes) {
        const __m256i t = _mm256_min_epu8(_mm256_subs_epu8(Load32(pFrame + i), lows), ranges);
        // The unpacks and the pack work within lanes alike, so the bytes keep their order.
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(pFrame + i),
            _mm256_packus_epi16(Stretched(_mm256_unpacklo_epi8(t, zero), highFactor, lowFactor),
                                Stretched(_mm256_unpackhi_epi8(t, zero), highFactor, lowFactor)));
    }
}

// The AVX-512 form's words, 16 rings of a parity in each: the same floors, the same
// estimates left to the plain form (all ones in `plain`).
template <int kShift>
PANDRY_AVX2 inline __m256i Weighted16(__m256i bytes, int weight) {
    return _mm256_maddubs_epi16(bytes, _mm256_set1_epi16(static_cast<short>(weight << kShift)));
}

struct HalfBlockEstimates {
    __m256i ring;
    __m256i third;
    __m256i plain;
};

template <int kShift>
PANDRY_AVX2 inline HalfBlockEstimates EstimateRingsAvx2(__m256i inner, __m256i outer, __m256i near,
                                                        __m256i far, __m256i pairNear,
                                                        __m256i pairFar, __m256i diagonal,
                                                        __m256i side) {
    const __m256i u = _mm256_add_epi16(
        _mm256_add_epi16(Weighted16<kShift>(inner, 2), Weighted16<kShift>(outer, 2)),
        _mm256_add_epi16(Weighted16<kShift>(near, 2), Weighted16<kShift>(far, 1)));
    const __m256i ring = _mm256_srli_epi16(
        _mm256_mulhi_epu16(
            _mm256_mulhi_epu16(_mm256_slli_epi16(u, 5), _mm256_set1_epi16(short(kEighths))),
            _mm256_set1_epi16(short(kHundredth))),
        6);
    const __m256i high = _mm256_add_epi16(
        _mm256_add_epi16(Weighted16<kShift>(pairNear, 30), Weighted16<kShift>(pairFar, 30)),
        _mm256_add_epi16(Weighted16<kShift>(diagonal, 21), Weighted16<kShift>(side, 42)));
    const __m256i low = _mm256_add_epi16(
        _mm256_add_epi16(Weighted16<kShift>(pairNear, 2), Weighted16<kShift>(pairFar, 2)),
        _mm256_add_epi16(Weighted16<kShift>(diagonal, 3), Weighted16<kShift>(side, 7)));
    const __m256i eighth = _mm256_add_epi16(high, _mm256_srli_epi16(low, 3));
    const __m256i third =
        _mm256_srli_epi16(_mm256_mulhi_epu16(eighth, _mm256_set1_epi16(short(kHundredth))), 6);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i rest = _mm256_or_si256(
        _mm256_and_si256(low, _mm256_set1_epi16(7)),
        _mm256_sub_epi16(eighth, _mm256_mullo_epi16(third, _mm256_set1_epi16(125))));
    const __m256i thirdPlain =
        _mm256_andnot_si256(_mm256_cmpeq_epi16(eighth, zero), _mm256_cmpeq_epi16(rest, zero));
    return {ring, third,
            _mm256_or_si256(thirdPlain, _mm256_cmpeq_epi16(u, _mm256_set1_epi16(1000)))};
}

// A 32-ring block's 96 bytes, built as three vectors whose low lanes hold bytes 0 .. 47
// (rings r0 .. r0 + 15) and high lanes bytes 48 .. 95: in each lane the own samples' 16
// bytes, the even rings' 8 ring and 8 third estimates and the odd rings' are all the
// sources, so three in-lane shuffles and two ors make each vector. Indices 0x80 give zero.
struct LaneOrder {
    alignas(32) std::uint8_t own[3][32];
    alignas(32) std::uint8_t even[3][32];
    alignas(32) std::uint8_t odd[3][32];
};
constexpr LaneOrder MakeLaneOrder(int phase) {
    LaneOrder order{};
    for (int v = 0; v < 3; ++v) {
        for (int i = 0; i < 32; ++i) {
            const int b = 16 * v + i % 16;
            const int k = b / 3;
            const int slot = b % 3;
            const PixelSlots slots = k % 2 == 0 ? kEvenRingSlots[phase] : kOddRingSlots[phase];
            const int estimate = slot == slots.third ? 8 + k / 2 : k / 2;
            order.own[v][i] = static_cast<std::uint8_t>(slot == slots.own ? k : 0x80);
            order.even[v][i] =
                static_cast<std::uint8_t>(slot != slots.own && k % 2 == 0 ? estimate : 0x80);
            order.odd[v][i] =
                static_cast<std::uint8_t>(slot != slots.own && k % 2 == 1 ? estimate : 0x80);
        }
    }
    return order;
}
constexpr LaneOrder kLaneOrder[3] = {MakeLaneOrder(0), MakeLaneOrder(1), MakeLaneOrder(2)};

PANDRY_AVX2 inline __m256i Order(const std::uint8_t (&index)[3][32], int v) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(index[v]));
}

// The bytes of `bytes` one place on, a zero after the last: the last block's outer
// neighbours without reading past the sector, which for sector 251 ends the frame.
PANDRY_AVX2 inline __m256i NextBytes(__m256i bytes) {
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(bytes, bytes, 0x81), bytes, 1);
}

// Rings r0 .. r0 + 31 (r0 even) of one sector, then those left to the plain form; in the
// last block ring 151 is left for its own estimate.
template <int Phase, bool kLast>
PANDRY_AVX2 void EstimateThirtyTwoRings(const Neighbourhood& n, int r0, Byte* pSector) {
    const __m256i own = Load32(n.here + r0);
    const __m256i previous = Load32(n.previous + r0);
    const __m256i next = Load32(n.next + r0);
    const __m256i secondPrevious = Load32(n.secondPrevious + r0);
    const __m256i secondNext = Load32(n.secondNext + r0);
    const __m256i inner = Load32(n.here + r0 - 1);
    const __m256i outer = kLast ? NextBytes(own) : Load32(n.here + r0 + 1);
    const __m256i previousOuter = kLast ? NextBytes(previous) : Load32(n.previous + r0 + 1);
    const __m256i nextOuter = kLast ? NextBytes(next) : Load32(n.next + r0 + 1);
    const HalfBlockEstimates even =
        EstimateRingsAvx2<0>(inner, outer, previous, secondNext, Load32(n.previous + r0 - 1),
                             secondPrevious, previousOuter, next);
    const HalfBlockEstimates odd =
        EstimateRingsAvx2<8>(inner, outer, next, secondPrevious, Load32(n.next + r0 - 1),
                             secondNext, nextOuter, previous);
    const __m256i evenBytes = _mm256_packus_epi16(even.ring, even.third);
    const __m256i oddBytes = _mm256_packus_epi16(odd.ring, odd.third);
    const LaneOrder& order = kLaneOrder[Phase];
    __m256i thirds[3];
    for (int v = 0; v < 3; ++v) {
        thirds[v] =
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(own, Order(order.own, v)),
                                            _mm256_shuffle_epi8(evenBytes, Order(order.even, v))),
                            _mm256_shuffle_epi8(oddBytes, Order(order.odd, v)));
    }
    auto* pOut = reinterpret_cast<__m256i*>(pSector + r0 * 3);
    _mm256_storeu_si256(pOut, _mm256_permute2x128_si256(thirds[0], thirds[1], 0x20));
    _mm256_storeu_si256(pOut + 1, _mm256_blend_epi32(thirds[2], thirds[0], 0xF0));
    _mm256_storeu_si256(pOut + 2, _mm256_permute2x128_si256(thirds[1], thirds[2], 0x31));
    // Bit 16 L + w: lane L, even ring 8 L + w for w < 8, odd ring 8 L + w - 8 after.
    const auto plain =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_packs_epi16(even.plain, odd.plain)));
    for (std::uint32_t bits = plain; bits != 0; bits &= bits - 1) {
        const int b = __builtin_ctz(bits);
        const int w = b % 16;
        const int r = r0 + 2 * (8 * (b / 16) + w % 8) + w / 8;
        if (w < 8) {
            EstimateEvenRing<Phase>(n, r, pSector + r * 3);
        } else if (r < kRings - 1) {
            EstimateOddRing<Phase>(n, r, pSector + r * 3);
        }
    }
}

// Rings 42 .. 151 in four blocks, the last overlapping the one before (it writes the same
// bytes again); ring 151 by the plain form.
template <int Phase>
PANDRY_AVX2 void EstimatePeripheryAvx2(const Byte* pFrame, int s, Byte* pColorFrame) {
    const Neighbourhood n = NeighbourhoodOf(pFrame, s);
    Byte* pSector = pColorFrame + FrameIndex(s, 0) * 3;
    constexpr int kBlock = 32;
    for (int r0 = kFoveaRings; r0 + kBlock < kRings; r0 += kBlock) {
        EstimateThirtyTwoRings<Phase, false>(n, r0, pSector);
    }
    EstimateThirtyTwoRings<Phase, true>(n, kRings - kBlock, pSector);
    EstimateOuterRing<Phase>(n, pSector + (kRings - 1) * 3);
}

// A cell's 126 bytes as four 32-byte stores, the last from byte 94 so that none passes
// ring 41; each 16-byte lane from its pixels' samples in each of the three rows, one
// in-lane shuffle per row (a lane's pixels lie within 6 rings).
constexpr int kCellStoreStart[4] = {0, 32, 64, kFoveaRings * 3 - 32};
struct CellLanes {
    alignas(32) std::uint8_t order[4][3][32];  // per store, per byte of the pixel
    int firstRing[4][2];
};
constexpr CellLanes MakeCellLanes() {
    CellLanes lanes{};
    for (int v = 0; v < 4; ++v) {
        for (int lane = 0; lane < 2; ++lane) {
            const int start = kCellStoreStart[v] + 16 * lane;
            lanes.firstRing[v][lane] = start / 3;
            for (int j = 0; j < 16; ++j) {
                for (int b = 0; b < 3; ++b) {
                    lanes.order[v][b][16 * lane + j] = static_cast<std::uint8_t>(
                        (start + j) % 3 == b ? (start + j) / 3 - start / 3 : 0x80);
                }
            }
        }
    }
    return lanes;
}
constexpr CellLanes kCellLanes = MakeCellLanes();

PANDRY_AVX2 inline __m256i CellBytes(const Byte* pRow, int v, int b) {
    const __m256i samples =
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pRow + kCellLanes.firstRing[v][1]),
                            reinterpret_cast<const __m128i*>(pRow + kCellLanes.firstRing[v][0]));
    return _mm256_shuffle_epi8(
        samples, _mm256_load_si256(reinterpret_cast<const __m256i*>(kCellLanes.order[v][b])));
}

PANDRY_AVX2 void FillFoveaCellsAvx2(const Byte* pFrame, Byte* pColorFrame) {
    for (int s = 0; s < kSectors; s += 3) {
        const Byte* pGreen = pFrame + FrameIndex(s, 0);
        const Byte* pBlue = pFrame + FrameIndex(s + 1, 0);
        const Byte* pRed = pFrame + FrameIndex(s + 2, 0);
        __m256i cell[4];
        for (int v = 0; v < 4; ++v) {
            cell[v] = _mm256_or_si256(
                _mm256_or_si256(CellBytes(pBlue, v, kBlueByte), CellBytes(pGreen, v, kGreenByte)),
                CellBytes(pRed, v, kRedByte));
        }
        for (int cellSector = s; cellSector < s + 3; ++cellSector) {
            Byte* pPixels = pColorFrame + FrameIndex(cellSector, 0) * 3;
            for (int v = 0; v < 4; ++v) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(pPixels + kCellStoreStart[v]),
                                    cell[v]);
            }
        }
    }
}

#endif

bool StretchInAvx2(Byte* pFrame, Byte low, Byte high) {
#ifdef PANDRY_RECONSTRUCT_VECTORS
    if (Avx2OnlyAvailable()) {
        StretchAvx2(pFrame, low, high);
        return true;
    }
#endif
    (void)pFrame;
    (void)low;
    (void)high;
    return false;
}

// False, writing nothing, where the processor cannot run the vectors.
bool EstimateAllInVectors(const Byte* pFrame, Byte* pColorFrame) {
#ifdef PANDRY_RECONSTRUCT_VECTORS
    if (RingVectorsAvailable()) {
        for (int s = 0; s < kSectors; s += 3) {
            EstimatePeripheryVector<0>(pFrame, s, pColorFrame);
            EstimatePeripheryVector<1>(pFrame, s + 1, pColorFrame);
            EstimatePeripheryVector<2>(pFrame, s + 2, pColorFrame);
        }
        return true;
    }
    if (Avx2OnlyAvailable()) {
        for (int s = 0; s < kSectors; s += 3) {
            EstimatePeripheryAvx2<0>(pFrame, s, pColorFrame);
            EstimatePeripheryAvx2<1>(pFrame, s + 1, pColorFrame);
            EstimatePeripheryAvx2<2>(pFrame, s + 2, pColorFrame);
        }
        return true;
    }
    return false;
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
    if (vectors && Avx2OnlyAvailable()) {
        FillFoveaCellsAvx2(pFrame, pColorFrame);
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
    return RingVectorsAvailable() || Avx2OnlyAvailable();
#else
    return false;
#endif
}

void CColorProcessor::ReconstructColor(std::uint8_t* pFrame, std::uint8_t* pColorFrame,
                                       bool vectors) {
    StretchContrast(pFrame, vectors);
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
