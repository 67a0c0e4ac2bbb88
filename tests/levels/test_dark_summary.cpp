#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "levels/DarkSummary.h"
#include "sensor/LogPolarFrame.h"

namespace {

std::vector<std::int32_t> Dark(int low, int high) {
    std::vector<std::int32_t> dark(kFrameBytes);
    for (std::size_t i = 0; i < dark.size(); ++i) {
        dark[i] = low + int(i % std::size_t(high - low + 1));
    }
    return dark;
}

// Catches a summary that misreads the range or the mean, and a text in another form than
// the one the operator and the tool share.
TEST(DarkSummary, DescribesRangeAndMean) {
    const std::vector<std::int32_t> dark = Dark(2, 12);
    const DarkSummary summary = SummarizeDark(dark.data());
    EXPECT_EQ(summary.minimum, 2);
    EXPECT_EQ(summary.maximum, 12);
    EXPECT_NEAR(summary.mean, 7.0, 0.01);
    EXPECT_FALSE(summary.bLooksLit);
    EXPECT_EQ(DescribeCalibration(summary, 10),
              "Calibrated from 10 frames: dark levels 2\u201312, mean 7");
}

struct LitCase {
    const char* name;
    int low;
    int high;
    bool lit;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const LitCase& c, std::ostream* os) {
    *os << c.name;
}

class LitFrameTest : public ::testing::TestWithParam<LitCase> {};

// Catches a lit calibration passed off as dark (a bright mean, or a wide spread from a scene)
// and a covered lens wrongly warned about.
TEST_P(LitFrameTest, JudgesByMeanAndSpread) {
    const std::vector<std::int32_t> dark = Dark(GetParam().low, GetParam().high);
    const DarkSummary summary = SummarizeDark(dark.data());
    EXPECT_EQ(summary.bLooksLit, GetParam().lit);
    const std::string text = DescribeCalibration(summary, 10);
    EXPECT_EQ(text.find("look lit") != std::string::npos, GetParam().lit) << text;
}

INSTANTIATE_TEST_SUITE_P(Calibrations, LitFrameTest,
                         ::testing::Values(LitCase{"CoveredLens", 0, 11, false},
                                           LitCase{"BrightEvenLight", 60, 70, true},
                                           LitCase{"SceneWithContrast", 0, 60, true},
                                           LitCase{"DimScene", 0, 30, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
