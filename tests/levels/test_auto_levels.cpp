#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "levels/AutoLevels.h"
#include "processing/FrameProcessor.h"
#include "sensor/LogPolarFrame.h"

namespace {

// A frame whose periphery sample i holds dark + (low + (i mod (span + 1))); the fovea
// holds fovea (which the rule must ignore).
struct Crafted {
    std::vector<std::uint8_t> raw = std::vector<std::uint8_t>(kFrameBytes);
    std::vector<std::int32_t> dark = std::vector<std::int32_t>(kFrameBytes);
};

Crafted Ramp(int low, int span, int darkLevel, std::uint8_t fovea = 0) {
    Crafted frame;
    int k = 0;
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 0; ring < kRings; ++ring) {
            const std::size_t i = FrameIndex(sector, ring);
            frame.dark[i] = darkLevel;
            if (ring < kFoveaRings) {
                frame.raw[i] = fovea;
            } else {
                frame.raw[i] = std::uint8_t(darkLevel + low + (k++ % (span + 1)));
            }
        }
    }
    return frame;
}

struct RangeCase {
    const char* name;
    int low;
    int span;
    int dark;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class AutoLevelsRangeTest : public ::testing::TestWithParam<RangeCase> {};

// Catches an offset that does not bring the dark end to black, a gain that leaves the bright
// end far from white (or clips most of the range), and a dark image left out of the rule.
TEST_P(AutoLevelsRangeTest, SpreadsThePeripheryOverTheDisplayedRange) {
    const RangeCase& c = GetParam();
    const Crafted frame = Ramp(c.low, c.span, c.dark);
    const LevelsChoice choice = ChooseLevels(frame.raw.data(), frame.dark.data());
    ASSERT_FALSE(choice.bFlat);
    // The percentiles sit within one level of the ramp's ends.
    EXPECT_NEAR(choice.low, c.low, 1);
    EXPECT_NEAR(choice.high, c.low + c.span, 2);
    EXPECT_EQ(choice.offset, -choice.low);
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, choice.gain);
    const int top = table[choice.high - choice.low];
    EXPECT_GE(top, 220) << "gain " << choice.gain;
    // No other whole gain brings the top nearer 255.
    for (int other : {choice.gain - 1, choice.gain + 1}) {
        if (other < kMinAutoGain) {
            continue;
        }
        GainTable otherTable{};
        CFrameProcessor::BuildGainTable(otherTable, other);
        const double otherValue =
            (std::exp((choice.high - choice.low) / 255.0) - 1) * other * 255 / (std::exp(1.0) - 1);
        const double value = (std::exp((choice.high - choice.low) / 255.0) - 1) * choice.gain *
                             255 / (std::exp(1.0) - 1);
        EXPECT_LE(std::abs(value - 255), std::abs(otherValue - 255)) << "gain " << other;
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, AutoLevelsRangeTest,
                         ::testing::Values(RangeCase{"NarrowAboveDark", 0, 42, 12},
                                           RangeCase{"NarrowRaised", 20, 30, 0},
                                           RangeCase{"FullRange", 0, 255, 0},
                                           RangeCase{"HalfRange", 60, 128, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a simulated picture that stays washed out: about 42 levels above dark is what the
// camera gives, and offset 0 with gain 10 shows it (the documented good picture).
TEST(AutoLevels, CameraLikeSpanChoosesGainTen) {
    const Crafted frame = Ramp(0, 42, 9);
    const LevelsChoice choice = ChooseLevels(frame.raw.data(), frame.dark.data());
    EXPECT_EQ(choice.gain, 10);
    EXPECT_EQ(choice.offset, 0);
}

// Catches a full-range frame pushed into clipping: it needs no gain beyond the law's own.
TEST(AutoLevels, FullRangeKeepsGainOne) {
    const Crafted frame = Ramp(0, 255, 0);
    EXPECT_EQ(ChooseLevels(frame.raw.data(), nullptr).gain, 1);
}

// Catches a flat frame turned into a wild gain (or a division by zero): nothing to spread.
TEST(AutoLevels, FlatFrameIsReportedAndChangesNothing) {
    const Crafted frame = Ramp(17, 0, 4);
    const LevelsChoice choice = ChooseLevels(frame.raw.data(), frame.dark.data());
    EXPECT_TRUE(choice.bFlat);
    EXPECT_EQ(choice.low, 17);
    EXPECT_EQ(choice.high, 17);
}

// Catches a rule driven by a few hot pixels or by the fovea: 0.4% of samples at 255 and a
// saturated fovea must not move the choice.
TEST(AutoLevels, IgnoresHotPixelsAndTheFovea) {
    Crafted frame = Ramp(0, 40, 0, 255);
    const LevelsChoice clean = ChooseLevels(frame.raw.data(), nullptr);
    int hot = 0;
    for (int sector = 0; sector < kSectors; sector += 2) {
        frame.raw[FrameIndex(sector, 100)] = 255;
        ++hot;
    }
    ASSERT_LT(hot, int(kSectors * kPeripheryRings * 0.005));
    const LevelsChoice withHot = ChooseLevels(frame.raw.data(), nullptr);
    EXPECT_EQ(withHot.gain, clean.gain);
    EXPECT_EQ(withHot.offset, clean.offset);
}

// Catches samples darker than their dark level wrapped around instead of counted as
// negative: the offset must then lift them (a positive offset).
TEST(AutoLevels, SamplesBelowDarkGiveAPositiveOffset) {
    Crafted frame = Ramp(0, 40, 30);
    for (std::int32_t& level : frame.dark) {
        level = 40;  // ten levels above what the frame's darkest samples read
    }
    const LevelsChoice choice = ChooseLevels(frame.raw.data(), frame.dark.data());
    EXPECT_EQ(choice.low, -10);
    EXPECT_EQ(choice.offset, 10);
}

// Catches a colour frame treated differently from its raw mosaic: the rule works on raw
// samples whatever their channel, so a mosaic with one bright channel spreads to that one.
TEST(AutoLevels, ColourMosaicUsesEverySample) {
    Crafted frame = Ramp(0, 0, 0);
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = kFoveaRings; ring < kRings; ++ring) {
            frame.raw[FrameIndex(sector, ring)] = std::uint8_t(((sector + ring) % 3) * 30);
        }
    }
    const LevelsChoice choice = ChooseLevels(frame.raw.data(), nullptr);
    EXPECT_EQ(choice.low, 0);
    EXPECT_EQ(choice.high, 60);
    EXPECT_FALSE(choice.bFlat);
}

}  // namespace
