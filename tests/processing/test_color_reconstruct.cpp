#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "processing/ColorProcessor.h"
#include "processing/ReconstructColor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kBlueLevel = 10;
constexpr int kGreenLevel = 20;
constexpr int kRedLevel = 30;

// Colour byte of the sample at (s, r) by the mosaic: green, blue, red along even and fovea
// rings, moved on by one sector on odd rings.
int MosaicByte(int s, int r) {
    constexpr int kEvenOrder[3] = {kGreenByte, kBlueByte, kRedByte};
    const bool odd = r >= kFoveaRings && r % 2 == 1;
    return kEvenOrder[((odd ? s - 1 : s) + kSectors) % 3];
}

struct Frames {
    Bytes frame = Bytes(kFrameBytes, 0);
    Bytes color = Bytes(kColorFrameBytes, 0);

    std::uint8_t& At(int s, int r) { return frame[FrameIndex((s + kSectors) % kSectors, r)]; }
    const std::uint8_t* Pixel(int s, int r) const { return &color[FrameIndex(s, r) * 3]; }
    void Reconstruct() { CColorProcessor::ReconstructColor(frame.data(), color.data()); }
};

// A frame whose periphery already spans 0..255, so the stretch leaves every sample alone.
Frames FullRangeFrame() {
    Frames f;
    f.At(150, 120) = 255;
    return f;
}

Bytes RandomFrame(unsigned seed) {
    std::mt19937 random(seed);
    Bytes frame(kFrameBytes);
    for (auto& sample : frame) {
        sample = std::uint8_t(random());
    }
    return frame;
}

}  // namespace

// Catches a wrong mosaic phase, a swapped own/ring/third slot, a bad stretch or a fovea
// cell filled from the wrong sectors.
TEST(ColorReconstruct, UniformMosaicGivesStretchedLevelsAndThirdOneLower) {
    Frames f;
    const int levels[3] = {kBlueLevel, kGreenLevel, kRedLevel};
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kRings; ++r) {
            f.At(s, r) = std::uint8_t(levels[MosaicByte(s, r)]);
        }
    }
    f.Reconstruct();

    const int stretched[3] = {0, 127, 255};
    const int thirdLevel[3] = {0, 126, 254};
    constexpr int kThirdByteByPhase[3] = {kBlueByte, kRedByte, kGreenByte};
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kRings; ++r) {
            // Sector 0 of ring 42 is re-estimated from fovea samples of other colours.
            if (s != 0 || r != kFoveaRings) {
                ASSERT_EQ(f.At(s, r), stretched[MosaicByte(s, r)]) << s << "," << r;
            }
            if (r == kFoveaRings || r == kFoveaRings + 1) {
                continue;  // ring 42 takes in ring 41, ring 43 the re-estimated (0, 42)
            }
            for (int b = 0; b < 3; ++b) {
                const bool fovea = r < kFoveaRings;
                const int expected =
                    !fovea && b == kThirdByteByPhase[s % 3] ? thirdLevel[b] : stretched[b];
                ASSERT_EQ(f.Pixel(s, r)[b], expected) << s << "," << r << " byte " << b;
            }
        }
    }
}

struct EstimateCase {
    int sector;
    int ring;
    int ringByte;
    int thirdByte;
    bool listedOrder;  // third colour sums 0.242, 0.343, 0.171 in that order
};

void PrintTo(const EstimateCase& c, std::ostream* os) {
    *os << "sector " << c.sector << " ring " << c.ring;
}

class ColorRingEstimate : public ::testing::TestWithParam<EstimateCase> {};
class ColorThirdEstimate : public ::testing::TestWithParam<EstimateCase> {};

// Catches a ring-colour estimate computed in anything but plain double arithmetic (the
// exact weighted sum lies below 143) and a neighbour taken from the wrong side or sector.
TEST_P(ColorRingEstimate, RingColourOf380And240IsExactly143) {
    const EstimateCase c = GetParam();
    Frames f = FullRangeFrame();
    const bool odd = c.ring % 2 == 1;
    f.At(c.sector, c.ring - 1) = 127;
    f.At(c.sector, c.ring + 1) = 127;
    f.At(c.sector + (odd ? 1 : -1), c.ring) = 126;
    f.At(c.sector + (odd ? -2 : 2), c.ring) = 240;
    f.Reconstruct();
    EXPECT_EQ(f.Pixel(c.sector, c.ring)[c.ringByte], 143);
}

// Catches the third-colour products added in the wrong order: these samples give 27 in
// the listed order and 28 with the 0.171 product first.
TEST_P(ColorThirdEstimate, ThirdColourAddsProductsInTheStatedOrder) {
    const EstimateCase c = GetParam();
    Frames f = FullRangeFrame();
    const int toward = c.ring % 2 == 1 ? 1 : -1;  // the side the pair and diagonal lie on
    f.At(c.sector + toward, c.ring - 1) = 47;
    f.At(c.sector + 2 * toward, c.ring) = 0;
    f.At(c.sector - toward, c.ring) = 39;
    f.At(c.sector + toward, c.ring + 1) = 19;
    f.Reconstruct();
    EXPECT_EQ(f.Pixel(c.sector, c.ring)[c.thirdByte], c.listedOrder ? 27 : 28);
}

const EstimateCase kEveryPhaseAndParity[] = {
    {60, 80, kRedByte, kBlueByte, false},  {61, 80, kGreenByte, kRedByte, false},
    {62, 80, kBlueByte, kGreenByte, true}, {60, 81, kGreenByte, kBlueByte, false},
    {61, 81, kBlueByte, kRedByte, false},  {62, 81, kRedByte, kGreenByte, false},
};
// Pixels whose far ring-colour sample lies across the wrap from sector 251 to sector 1.
const EstimateCase kAcrossTheWrap[] = {
    {251, 100, kBlueByte, kGreenByte, true},
    {1, 101, kBlueByte, kRedByte, false},
};

INSTANTIATE_TEST_SUITE_P(EveryPhaseAndParity, ColorRingEstimate,
                         ::testing::ValuesIn(kEveryPhaseAndParity));
INSTANTIATE_TEST_SUITE_P(AcrossTheWrap, ColorRingEstimate, ::testing::ValuesIn(kAcrossTheWrap));
INSTANTIATE_TEST_SUITE_P(EveryPhaseAndParity, ColorThirdEstimate,
                         ::testing::ValuesIn(kEveryPhaseAndParity));

// Catches a stretch that clips or rescales when the periphery already spans 0..255.
TEST(ColorReconstruct, FullRangePeripheryLeavesSamplesUnstretched) {
    Frames f;
    f.frame = RandomFrame(7);
    f.At(90, 50) = 0;
    f.At(91, 60) = 255;
    const Bytes before = f.frame;
    f.Reconstruct();
    for (int s = 1; s < kSectors; ++s) {
        for (int r = 0; r < kRings; ++r) {
            ASSERT_EQ(f.At(s, r), before[FrameIndex(s, r)]) << s << "," << r;
        }
    }
    for (int r = 0; r < kFoveaRings; ++r) {
        ASSERT_EQ(f.At(0, r), before[FrameIndex(0, r)]);
    }
}

struct StretchCase {
    int peripheryLow;
    int peripheryHigh;
    int foveaSample;
    int expected;
};

void PrintTo(const StretchCase& c, std::ostream* os) {
    *os << "periphery " << c.peripheryLow << ".." << c.peripheryHigh << " fovea " << c.foveaSample;
}

class ColorStretch : public ::testing::TestWithParam<StretchCase> {};

// Catches a stretch whose range takes in the fovea, rounds instead of flooring, fails to
// clamp fovea samples outside the range, or divides by zero on a flat periphery.
TEST_P(ColorStretch, FoveaSampleIsScaledByThePeripheryRange) {
    const StretchCase c = GetParam();
    Frames f;
    std::fill(f.frame.begin(), f.frame.end(), std::uint8_t(c.peripheryLow));
    f.At(120, 90) = std::uint8_t(c.peripheryHigh);
    f.At(30, 20) = std::uint8_t(c.foveaSample);
    f.Reconstruct();
    EXPECT_EQ(f.At(30, 20), c.expected);
    EXPECT_EQ(f.At(31, 20), 0);
    EXPECT_EQ(f.At(120, 90), c.peripheryLow == c.peripheryHigh ? 0 : 255);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ColorStretch,
                         ::testing::Values(StretchCase{50, 150, 100, 127},
                                           StretchCase{50, 150, 20, 0},
                                           StretchCase{50, 150, 151, 255},
                                           StretchCase{50, 150, 149, 252},
                                           StretchCase{77, 77, 77, 0}, StretchCase{77, 77, 10, 0},
                                           StretchCase{77, 77, 78, 255}));

class ColorStretchRange : public ::testing::TestWithParam<std::pair<int, int>> {};

// Catches a range search that misses a sample at a chunk edge of a sector's periphery
// (its first ring, the overlapping last chunk, the last sector) or counts a fovea ring.
TEST_P(ColorStretchRange, OneBrightSampleSetsTheTop) {
    const auto [sector, ring] = GetParam();
    Frames f;
    std::fill(f.frame.begin(), f.frame.end(), std::uint8_t(100));
    f.At(sector, ring) = 200;
    f.At(30, 20) = 150;
    f.Reconstruct();
    EXPECT_EQ(f.At(30, 20), ring < kFoveaRings ? 255 : 127);
}

INSTANTIATE_TEST_SUITE_P(ChunkEdges, ColorStretchRange,
                         ::testing::Values(std::pair{0, kFoveaRings}, std::pair{1, 57},
                                           std::pair{2, 58}, std::pair{3, 135},
                                           std::pair{kSectors - 1, kRings - 1},
                                           std::pair{9, kFoveaRings - 1}));

// Catches a flat periphery producing anything but black once reconstructed.
TEST(ColorReconstruct, FlatPeripheryReconstructsBlack) {
    Frames f;
    std::fill(f.frame.begin(), f.frame.end(), std::uint8_t(77));
    f.Reconstruct();
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kRings; ++r) {
            for (int b = 0; b < 3; ++b) {
                ASSERT_EQ(f.Pixel(s, r)[b], 0) << s << "," << r;
            }
        }
    }
}

// Catches sector 0 re-estimated from the wrong sectors or rings, or a rounding loss that
// turns four equal samples into v - 1 (ring 151 included, with its mirrored outer ring).
TEST(ColorReconstruct, SectorZeroFromFourEqualSamplesIsExact) {
    for (int v = 0; v < 256; ++v) {
        Frames f;
        std::fill(f.frame.begin(), f.frame.end(), std::uint8_t(v));
        f.At(150, 100) = 0;
        f.At(150, 102) = 255;
        f.Reconstruct();
        for (int r = kFoveaRings; r < kRings; ++r) {
            ASSERT_EQ(f.At(0, r), v) << "ring " << r;
        }
    }
}

// Catches a re-estimate of ring 151 that reads past the sector into the next one.
TEST(ColorReconstruct, SectorZeroOuterRingReadsOnlyRings150) {
    Frames f = FullRangeFrame();
    f.At(251, 150) = 100;
    f.At(2, 150) = 200;
    f.At(3, 0) = 99;  // the sample stored after (2, 151)
    f.Reconstruct();
    EXPECT_EQ(f.At(0, 151), int(0.33 * 200 + 0.17 * 400));
}

// Catches the two copy steps missing or copying the wrong way, and output bytes left
// unwritten (two different prefills must give the same result).
TEST(ColorReconstruct, CopiesCornerPixelsAndWritesEveryByte) {
    for (unsigned seed : {1u, 2u, 3u}) {
        Frames first;
        first.frame = RandomFrame(seed);
        Frames second = first;
        std::fill(second.color.begin(), second.color.end(), std::uint8_t(0xFF));
        first.Reconstruct();
        second.Reconstruct();
        ASSERT_EQ(first.color, second.color);
        for (int b = 0; b < 3; ++b) {
            EXPECT_EQ(first.Pixel(0, 151)[b], first.Pixel(0, 150)[b]);
            EXPECT_EQ(first.Pixel(0, 0)[b], first.Pixel(0, 1)[b]);
        }
    }
}

namespace {

// The reconstruction written out step by step, with every weight multiplied in place.
class ReferenceReconstruction {
  public:
    explicit ReferenceReconstruction(Bytes frame) : m_frame(std::move(frame)) {}

    Bytes Run() {
        Stretch();
        ReestimateSectorZero();
        for (int s = 0; s < kSectors; ++s) {
            for (int r = kFoveaRings; r < kRings - 1; ++r) {
                r % 2 == 0 ? EvenRing(s, r) : OddRing(s, r);
            }
            OuterRing(s);
        }
        Copy(0, kRings - 2, 0, kRings - 1);
        for (int s = 0; s < kSectors; ++s) {
            const int cell = s - s % 3;
            for (int l = 0; l < kFoveaRings; ++l) {
                Out(s, l)[kBlueByte] = P(cell + 1, l);
                Out(s, l)[kGreenByte] = P(cell, l);
                Out(s, l)[kRedByte] = P(cell + 2, l);
            }
        }
        Copy(0, 1, 0, 0);
        return m_color;
    }
    const Bytes& Frame() const { return m_frame; }

  private:
    int P(int s, int r) const { return m_frame[FrameIndex((s + kSectors) % kSectors, r)]; }
    std::uint8_t* Out(int s, int r) { return &m_color[FrameIndex(s, r) * 3]; }
    void Copy(int fromS, int fromR, int toS, int toR) {
        std::copy_n(Out(fromS, fromR), 3, Out(toS, toR));
    }
    static std::uint8_t T(double v) { return std::uint8_t(int(v)); }

    void Stretch() {
        int low = 255;
        int high = 0;
        for (int s = 0; s < kSectors; ++s) {
            for (int r = kFoveaRings; r < kRings; ++r) {
                low = std::min(low, P(s, r));
                high = std::max(high, P(s, r));
            }
        }
        for (auto& v : m_frame) {
            if (high == low) {
                v = v <= low ? 0 : 255;
            } else {
                v = std::uint8_t(std::clamp(255 * (v - low) / (high - low), 0, 255));
            }
        }
    }
    void ReestimateSectorZero() {
        for (int r = kFoveaRings; r < kRings; ++r) {
            const int outer = r + 1 < kRings ? r + 1 : kRings - 2;
            const double v =
                r % 2 == 0
                    ? 0.33 * (P(1, r - 1) + P(1, outer)) + 0.17 * (P(250, r - 1) + P(250, outer))
                    : 0.33 * (P(251, r - 1) + P(251, outer)) + 0.17 * (P(2, r - 1) + P(2, outer));
            m_frame[FrameIndex(0, r)] = T(v);
        }
    }
    void Put(int s, int r, int ownByte, int ringByte, int thirdByte, double ring, double third) {
        Out(s, r)[ownByte] = std::uint8_t(P(s, r));
        Out(s, r)[ringByte] = T(ring);
        Out(s, r)[thirdByte] = T(third);
    }
    void EvenRing(int s, int r) {
        const int own[3] = {kGreenByte, kBlueByte, kRedByte};
        const int ring[3] = {kRedByte, kGreenByte, kBlueByte};
        const int third[3] = {kBlueByte, kRedByte, kGreenByte};
        const double ringValue =
            0.286 * (P(s, r - 1) + P(s, r + 1) + P(s - 1, r)) + 0.143 * P(s + 2, r);
        const double pair = 0.242 * (P(s - 1, r - 1) + P(s - 2, r));
        const double thirdValue = s % 3 == 2 ? pair + 0.343 * P(s + 1, r) + 0.171 * P(s - 1, r + 1)
                                             : pair + 0.171 * P(s - 1, r + 1) + 0.343 * P(s + 1, r);
        Put(s, r, own[s % 3], ring[s % 3], third[s % 3], ringValue, thirdValue);
    }
    void OddRing(int s, int r) {
        const double ringValue =
            0.286 * (P(s, r - 1) + P(s, r + 1) + P(s + 1, r)) + 0.143 * P(s - 2, r);
        const double thirdValue =
            0.242 * (P(s + 1, r - 1) + P(s + 2, r)) + 0.171 * P(s + 1, r + 1) + 0.343 * P(s - 1, r);
        PutOdd(s, r, ringValue, thirdValue);
    }
    void OuterRing(int s) {
        const int r = kRings - 1;
        const double ringValue = 0.2 * P(s - 2, r) + 0.4 * (P(s, r - 1) + P(s + 1, r));
        const double thirdValue =
            0.226 * P(s + 2, r) + 0.453 * P(s - 1, r) + 0.32 * P(s + 1, r - 1);
        PutOdd(s, r, ringValue, thirdValue);
    }
    void PutOdd(int s, int r, double ringValue, double thirdValue) {
        const int own[3] = {kRedByte, kGreenByte, kBlueByte};
        const int ring[3] = {kGreenByte, kBlueByte, kRedByte};
        const int third[3] = {kBlueByte, kRedByte, kGreenByte};
        Put(s, r, own[s % 3], ring[s % 3], third[s % 3], ringValue, thirdValue);
    }

    Bytes m_frame;
    Bytes m_color = Bytes(kColorFrameBytes, 0);
};

}  // namespace

// Catches any byte the fast reconstruction computes differently from the formulas
// evaluated in place, on full-range and on stretched random frames.
TEST(ColorReconstruct, MatchesTheStepByStepReconstruction) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        Frames f;
        f.frame = RandomFrame(seed);
        if (seed % 2 == 0) {
            for (auto& v : f.frame) {
                v = std::uint8_t(40 + v % 150);  // a narrow range, stretched
            }
        }
        ReferenceReconstruction reference(f.frame);
        const Bytes expectedColor = reference.Run();
        f.Reconstruct();
        ASSERT_EQ(f.frame, reference.Frame()) << "seed " << seed;
        ASSERT_EQ(f.color, expectedColor) << "seed " << seed;
    }
}

// A frame for comparing the two forms: random, all dark, all bright (the largest sums),
// alternate sectors dark and bright (every sum at its extremes beside its neighbours),
// random over a narrow range (the stretch then has work to do), or random among 0, 125 and
// 250 beside one 255 (left unstretched), whose estimates are often whole numbers, which
// the doubles' rounding decides; or a periphery of two adjacent levels or of one, the
// narrowest stretches, with a random fovea that lies partly outside them.
Bytes FormFrame(int kind) {
    Bytes frame = RandomFrame(70 + unsigned(kind));
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const int sector = int(i / kRings);
        switch (kind) {
            case 1:
                frame[i] = 0;
                break;
            case 2:
                frame[i] = 255;
                break;
            case 3:
                frame[i] = sector % 2 == 0 ? 0 : 255;
                break;
            case 4:
                frame[i] = std::uint8_t(100 + frame[i] % 20);
                break;
            case 5:
                frame[i] = std::uint8_t(125 * (frame[i] % 3));
                break;
            case 6:
            case 7:
                if (int(i % kRings) >= kFoveaRings) {
                    frame[i] = std::uint8_t(kind == 6 ? 60 + frame[i] % 2 : 77);
                }
                break;
            default:
                break;
        }
    }
    if (kind == 5) {
        frame[FrameIndex(100, 100)] = 255;
    }
    return frame;
}

class ColorReconstructForms : public ::testing::TestWithParam<int> {};

// Catches a vector form (AVX-512 or AVX2) differing from the plain form in any byte: a lane
// reading the wrong neighbour for its parity, products added in another order, a fused
// multiply-add, the overlapping last block, the wrap-around sectors or a stretch range.
TEST_P(ColorReconstructForms, VectorsGiveThePlainBytes) {
    if (!CColorProcessor::ReconstructsInVectors()) {
        GTEST_SKIP() << "this processor cannot run the vector form";
    }
    Bytes plainFrame = FormFrame(GetParam());
    Bytes vectorFrame = plainFrame;
    Bytes plainColor(kColorFrameBytes, 1);
    Bytes vectorColor(kColorFrameBytes, 2);
    CColorProcessor::ReconstructColor(plainFrame.data(), plainColor.data(), false);
    CColorProcessor::ReconstructColor(vectorFrame.data(), vectorColor.data(), true);
    EXPECT_EQ(vectorFrame, plainFrame);
    ASSERT_EQ(vectorColor, plainColor);
}

INSTANTIATE_TEST_SUITE_P(Frames, ColorReconstructForms, ::testing::Range(0, 8));
