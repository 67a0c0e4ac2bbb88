#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "sensor/LogPolarFrame.h"
#include "statistics/CountPlan.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Row tables that stress the plan: one run over the whole frame (more vectors than the
// byte counters hold), runs of alternating rows of every length and start with gaps
// between, and rows at random (short runs and short index lists).
std::vector<Bytes> RowTables() {
    std::mt19937 random(5);
    Bytes whole(kFrameBytes, 1);
    Bytes runs(kFrameBytes, kUncountedRow);
    for (std::size_t i = 0; i < kFrameBytes;) {
        const std::size_t length = random() % 90;
        const std::uint8_t rows[2] = {std::uint8_t(random() % 3), std::uint8_t(random() % 3)};
        for (std::size_t k = i; k < std::min(i + length, kFrameBytes); ++k) {
            runs[k] = rows[k % 2];
        }
        i += length + random() % 5;
    }
    Bytes scattered(kFrameBytes);
    for (std::uint8_t& row : scattered) {
        row = std::uint8_t(random() % 4);
    }
    return {whole, runs, scattered};
}

// Levels at random with many at 0 and 255, and frames all at one end.
std::vector<Bytes> LevelFrames() {
    std::mt19937 random(9);
    Bytes mixed(kFrameBytes);
    for (std::uint8_t& level : mixed) {
        const unsigned draw = random() % 10;
        level = draw == 0 ? 0 : draw == 1 ? 255 : std::uint8_t(random());
    }
    return {mixed, Bytes(kFrameBytes, 255), Bytes(kFrameBytes, 0)};
}

// Catches counts that lose or double a sample or put it in the wrong row (odd starts, odd
// lengths, run ends), and sums that differ from the counts' in any figure: a byte counter
// overflowing, a masked tail lane counted, the parity of a tail's lanes swapped.
TEST(CountPlan, CountsAndSumsAsTheRowTableSays) {
    for (const Bytes& rows : RowTables()) {
        const CCountPlan plan(rows.data());
        for (const Bytes& levels : LevelFrames()) {
            LevelCounts expected;
            for (std::size_t i = 0; i < kFrameBytes; ++i) {
                if (rows[i] != kUncountedRow) {
                    ++expected.counts[rows[i]][levels[i]];
                }
            }
            LevelCounts counts;
            plan.Count(levels.data(), counts);
            std::array<LevelSums, kUncountedRow> sums;
            plan.Sum(levels.data(), sums);
            for (int row = 0; row < kUncountedRow; ++row) {
                ASSERT_EQ(counts.counts[row], expected.counts[row]) << "row " << row;
                LevelSums fromCounts;
                fromCounts.AddCounts(expected.counts[row]);
                EXPECT_EQ(sums[row].samples, fromCounts.samples) << "row " << row;
                EXPECT_EQ(sums[row].sum, fromCounts.sum) << "row " << row;
                EXPECT_EQ(sums[row].squares, fromCounts.squares) << "row " << row;
                EXPECT_EQ(sums[row].atLow, fromCounts.atLow) << "row " << row;
                EXPECT_EQ(sums[row].atHigh, fromCounts.atHigh) << "row " << row;
                if (fromCounts.samples > 0) {
                    EXPECT_EQ(sums[row].minimum, fromCounts.minimum) << "row " << row;
                    EXPECT_EQ(sums[row].maximum, fromCounts.maximum) << "row " << row;
                }
            }
        }
    }
}

}  // namespace
