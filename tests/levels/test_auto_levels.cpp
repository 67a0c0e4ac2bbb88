#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "levels/AutoLevels.h"
#include "processing/FrameProcessor.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"

namespace {

struct Crafted {
    std::vector<std::uint8_t> raw = std::vector<std::uint8_t>(kFrameBytes);
    std::vector<std::int32_t> dark = std::vector<std::int32_t>(kFrameBytes);
};

// Every physical sample k (in frame order) holds dark + level(k); the fovea's unused
// positions hold unused (which the rule must ignore).
Crafted Scene(int darkLevel, const std::function<int(int k)>& level, std::uint8_t unused = 0) {
    Crafted frame;
    const SampleGeometry& geometry = SensorSampleGeometry();
    int k = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        frame.dark[i] = darkLevel;
        frame.raw[i] = geometry.physical[i]
                           ? std::uint8_t(std::clamp(darkLevel + level(k++), 0, 255))
                           : unused;
    }
    return frame;
}

Crafted Ramp(int low, int span, int darkLevel, std::uint8_t unused = 0) {
    return Scene(
        darkLevel, [=](int k) { return low + k % (span + 1); }, unused);
}

// Shares of the physical samples the screen shows black and white with the chosen levels,
// worked out from the display rule directly.
std::pair<double, double> ShownShares(const Crafted& frame, const LevelsChoice& choice,
                                      bool bColor) {
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, choice.gain);
    const SampleGeometry& geometry = SensorSampleGeometry();
    int black = 0;
    int white = 0;
    int total = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        if (!geometry.physical[i]) {
            continue;
        }
        const int corrected =
            table[std::clamp(int(frame.raw[i]) - frame.dark[i] + choice.offset, 0, 255)];
        // Colour: the stretch shows the ends of the corrected range black and white.
        const int shown = bColor ? corrected : ShownGreyLevel(corrected);
        black += shown == 0 ? 1 : 0;
        white += shown == 255 ? 1 : 0;
        ++total;
    }
    return {double(black) / total, double(white) / total};
}

// The level shown for the sample at the given rank (0: darkest, 1: brightest).
int ShownLevelOf(const Crafted& frame, const LevelsChoice& choice, bool bColor, double rank) {
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, choice.gain);
    std::vector<int> shown;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        if (SensorSampleGeometry().physical[i]) {
            const int corrected =
                table[std::clamp(int(frame.raw[i]) - frame.dark[i] + choice.offset, 0, 255)];
            shown.push_back(bColor ? corrected : ShownGreyLevel(corrected));
        }
    }
    std::sort(shown.begin(), shown.end());
    return shown[std::size_t(rank * double(shown.size() - 1))];
}

struct SceneCase {
    const char* name;
    std::function<Crafted()> make;
    bool color;
    // Ends that can show about 0.5 %: none where every level holds more than 1 % of the
    // samples; one where the gain law's whole steps (1 spans far more than 2) leave spare
    // levels at the other.
    int reachableEnds;
};

void PrintTo(const SceneCase& c, std::ostream* os) {
    *os << c.name;
}

class AutoLevelsSceneTest : public ::testing::TestWithParam<SceneCase> {};

// Catches levels aimed at the corrected samples instead of the picture on screen (the
// display's stretch then blackens and whitens far more than promised), ends that swallow a
// crowded level whole, and a rule that leaves the picture grey (nothing at either end).
TEST_P(AutoLevelsSceneTest, ShowsAboutHalfAPercentBlackAndWhite) {
    const Crafted frame = GetParam().make();
    const LevelsChoice choice =
        ChooseLevels(frame.raw.data(), frame.dark.data(), DisplayRangeFor(GetParam().color));
    ASSERT_FALSE(choice.bFlat);
    const auto [black, white] = ShownShares(frame, choice, GetParam().color);
    const std::string chosen = "offset " + std::to_string(choice.offset) + " gain " +
                               std::to_string(choice.gain) + " black " + std::to_string(black) +
                               " white " + std::to_string(white);
    EXPECT_LE(black, 0.01) << chosen;
    EXPECT_LE(white, 0.01) << chosen;
    const int aimed = (black >= 0.002 ? 1 : 0) + (white >= 0.002 ? 1 : 0);
    EXPECT_GE(aimed, GetParam().reachableEnds) << chosen;
    // Too coarse or not, the scene still reaches from near black to near white.
    EXPECT_LE(ShownLevelOf(frame, choice, GetParam().color, 0.0), 40) << chosen;
    EXPECT_GE(ShownLevelOf(frame, choice, GetParam().color, 1.0), 215) << chosen;
}

Crafted Noisy(unsigned seed, double mean, double spread, int darkLevel) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(mean, spread);
    return Scene(darkLevel, [&](int) { return int(std::lround(normal(random))); });
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, AutoLevelsSceneTest,
    ::testing::Values(SceneCase{"CameraLikeSpan", [] { return Ramp(0, 42, 9); }, false, 0},
                      SceneCase{"NarrowRaised", [] { return Ramp(20, 30, 0); }, false, 0},
                      SceneCase{"FineRamp", [] { return Ramp(0, 200, 0); }, false, 1},
                      SceneCase{"NoisyDim", [] { return Noisy(3, 20, 6, 8); }, false, 2},
                      SceneCase{"NoisyMid", [] { return Noisy(7, 60, 12, 3); }, false, 2},
                      SceneCase{"NoisyBright", [] { return Noisy(4, 150, 30, 2); }, false, 1},
                      SceneCase{"ColourNoisy", [] { return Noisy(5, 60, 15, 4); }, true, 2},
                      SceneCase{"ColourRamp", [] { return Ramp(10, 90, 0); }, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a crowded darkest level (3 % of the samples) shown black whole: nothing may go
// black then rather than more than 1 %.
TEST(AutoLevels, CrowdedEndIsNotClipped) {
    const Crafted frame = Scene(0, [](int k) { return k % 100 < 3 ? 0 : 10 + k % 40; });
    const LevelsChoice choice = ChooseLevels(frame.raw.data(), frame.dark.data(), kGreyDisplay);
    const auto [black, white] = ShownShares(frame, choice, false);
    EXPECT_LE(black, 0.01);
    EXPECT_LE(white, 0.01);
}

// Catches a flat frame turned into a wild gain (or a division by zero): nothing to spread.
TEST(AutoLevels, FlatFrameIsReportedAndChangesNothing) {
    const Crafted frame = Ramp(17, 0, 4);
    const LevelsChoice choice = ChooseLevels(frame.raw.data(), frame.dark.data(), kGreyDisplay);
    EXPECT_TRUE(choice.bFlat);
    EXPECT_EQ(choice.low, 17);
    EXPECT_EQ(choice.high, 17);
}

// Catches a rule driven by a few hot pixels or by fovea positions without pixels: 0.3 % of
// samples at 255 and saturated unused positions must not move the choice.
TEST(AutoLevels, IgnoresHotPixelsAndUnusedFoveaPositions) {
    Crafted frame = Ramp(0, 40, 0, 255);
    const LevelsChoice clean = ChooseLevels(frame.raw.data(), nullptr, kGreyDisplay);
    const LevelsChoice plain = ChooseLevels(Ramp(0, 40, 0).raw.data(), nullptr, kGreyDisplay);
    EXPECT_EQ(clean.gain, plain.gain);
    EXPECT_EQ(clean.offset, plain.offset);
    for (int sector = 0; sector < kSectors; sector += 3) {
        frame.raw[FrameIndex(sector, 100)] = 255;
    }
    const LevelsChoice withHot = ChooseLevels(frame.raw.data(), nullptr, kGreyDisplay);
    EXPECT_EQ(withHot.gain, clean.gain);
    EXPECT_EQ(withHot.offset, clean.offset);
}

// Catches samples darker than their dark level wrapped around instead of counted as
// negative: the offset must then lift them (a positive offset beyond the black level).
TEST(AutoLevels, SamplesBelowDarkGiveAPositiveOffset) {
    Crafted frame = Ramp(0, 40, 30);
    for (std::int32_t& level : frame.dark) {
        level = 40;  // ten levels above what the frame's darkest samples read
    }
    const LevelsChoice choice = ChooseLevels(frame.raw.data(), frame.dark.data(), kGreyDisplay);
    EXPECT_EQ(choice.low, -10);
    EXPECT_GE(choice.offset, 10);
}

// Catches a display rule out of step with the converter: the grey picture's level for each
// corrected level is what the processor's conversion gives.
TEST(AutoLevels, GreyDisplayRuleMatchesTheConverter) {
    for (int level = 0; level < 256; ++level) {
        const int expected =
            std::clamp(int(std::floor(255.0 / 219.0 * (level - 16) + 1e-9)), 0, 255);
        EXPECT_NEAR(ShownGreyLevel(level), expected, 1) << level;
    }
    EXPECT_EQ(ShownGreyLevel(16), 0);
    EXPECT_EQ(ShownGreyLevel(17), 1);
    EXPECT_EQ(ShownGreyLevel(235), 254);
    EXPECT_EQ(ShownGreyLevel(236), 255);
}

}  // namespace
