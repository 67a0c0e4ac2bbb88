#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "processing/ChannelMap.h"
#include "processing/FrameProcessor.h"
#include "sensor/LogPolarFrame.h"
#include "statistics/LevelStatistics.h"

namespace {

GainTable Identity() {
    GainTable table{};
    std::iota(table.begin(), table.end(), 0);
    return table;
}

std::uint64_t Total(const std::array<std::uint32_t, 256>& counts) {
    return std::accumulate(counts.begin(), counts.end(), std::uint64_t{0});
}

// Catches counts that leave out the peak (the old plot's cut at 1000) or lose samples.
TEST(LevelStatistics, MonoCountsEverySampleWithoutCut) {
    std::vector<std::uint8_t> raw(kFrameBytes, 7);
    raw[0] = 200;
    const LevelCounts counts =
        CountLevels(raw.data(), nullptr, 0, Identity(), false, CountedSamples::kRaw);
    EXPECT_EQ(counts.channels, 1);
    EXPECT_EQ(counts.counts[0][7], kFrameBytes - 1);
    EXPECT_EQ(counts.counts[0][200], 1u);
    EXPECT_EQ(Total(counts.counts[0]), kFrameBytes);
}

// Catches corrected counts that skip the dark image, the offset, the clamp or the gain table.
TEST(LevelStatistics, CorrectedCountsFollowCorrection) {
    std::vector<std::uint8_t> raw(kFrameBytes, 50);
    std::vector<std::int32_t> dark(kFrameBytes, 10);
    dark[5] = 100;  // 50 - 100 + 20 < 0: clamps to 0
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, 3);
    const LevelCounts counts =
        CountLevels(raw.data(), dark.data(), 20, table, false, CountedSamples::kCorrected);
    EXPECT_EQ(counts.counts[0][table[60]], kFrameBytes - 1);
    EXPECT_EQ(counts.counts[0][0], 1u);
}

// Catches colour samples counted in the wrong channel's row, or uncounted fovea positions
// counted at all.
TEST(LevelStatistics, ColourCountsByMosaicChannel) {
    std::vector<std::uint8_t> raw(kFrameBytes);
    std::uint64_t expected[3] = {};
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 0; ring < kRings; ++ring) {
            const ChannelCode code = ChannelCodeOf(sector, ring);
            const int row = code == kBlueChannel ? 0 : code == kGreenChannel ? 1 : 2;
            raw[FrameIndex(sector, ring)] = std::uint8_t(10 + row);
            if (code != kUncountedChannel) {
                ++expected[row];
            }
        }
    }
    const LevelCounts counts =
        CountLevels(raw.data(), nullptr, 0, Identity(), true, CountedSamples::kRaw);
    ASSERT_EQ(counts.channels, 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(counts.counts[row][10 + row], expected[row]) << row;
        EXPECT_EQ(Total(counts.counts[row]), expected[row]) << row;
    }
}

// Catches wrong figures: min, mean, max, spread and the clipped shares of a known spread.
TEST(LevelStatistics, SummaryFigures) {
    std::array<std::uint32_t, 256> counts{};
    counts[0] = 25;
    counts[100] = 50;
    counts[255] = 25;
    const ChannelStatistics s = SummarizeLevels(counts);
    EXPECT_EQ(s.samples, 100u);
    EXPECT_EQ(s.minimum, 0);
    EXPECT_EQ(s.maximum, 255);
    EXPECT_DOUBLE_EQ(s.mean, (50 * 100 + 25 * 255) / 100.0);
    EXPECT_NEAR(s.spread, 91.20, 0.01);
    EXPECT_DOUBLE_EQ(s.clippedLow, 0.25);
    EXPECT_DOUBLE_EQ(s.clippedHigh, 0.25);
    const ChannelStatistics empty = SummarizeLevels({});
    EXPECT_EQ(empty.samples, 0u);
    EXPECT_EQ(empty.clippedHigh, 0);
}

// Catches a logarithmic axis that hides single samples or is not monotonic, and a linear
// axis that is not proportional.
TEST(LevelStatistics, BarHeights) {
    EXPECT_DOUBLE_EQ(BarHeight(500, 1000, false), 0.5);
    EXPECT_DOUBLE_EQ(BarHeight(1000, 1000, true), 1.0);
    EXPECT_EQ(BarHeight(0, 1000, true), 0.0);
    EXPECT_GT(BarHeight(1, 30000, true), 0.05);
    EXPECT_LT(BarHeight(1, 30000, false), 0.001);
    EXPECT_LT(BarHeight(10, 30000, true), BarHeight(100, 30000, true));
    EXPECT_EQ(BarHeight(5, 0, true), 0.0);
}

}  // namespace
