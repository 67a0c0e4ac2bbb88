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
