// Contrast stretch and colour reconstruction of one mosaic frame. Every estimate adds the
// samples sharing a weight as integers, multiplies each sum by its weight and adds the
// products in a fixed order, each step rounded to double; the result is truncated. The
// directory builds with -ffp-contract=off, so no multiply-add is ever fused.
#include <algorithm>
#include <array>
#include <cstdint>

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

void CopyPixel(Byte* pColorFrame, int fromRing, int toRing) {
    std::copy_n(pColorFrame + fromRing * 3, 3, pColorFrame + toRing * 3);
}

}  // namespace

void CColorProcessor::ReconstructColor(std::uint8_t* pFrame, std::uint8_t* pColorFrame) {
    StretchContrast(pFrame);
    ReestimateSectorZero(pFrame);
    for (int s = 0; s < kSectors; s += 3) {
        EstimatePeriphery<0>(pFrame, s, pColorFrame);
        EstimatePeriphery<1>(pFrame, s + 1, pColorFrame);
        EstimatePeriphery<2>(pFrame, s + 2, pColorFrame);
    }
    CopyPixel(pColorFrame, kRings - 2, kRings - 1);  // sector 0 only
    FillFoveaCells(pFrame, pColorFrame);
    CopyPixel(pColorFrame, 1, 0);
}
