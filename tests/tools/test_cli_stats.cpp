#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "processing/FrameProcessor.h"
#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "tests/tools/CliRunner.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Three random frames, each with a few samples forced to 0 and 255.
std::vector<Bytes> RandomFrames() {
    std::mt19937 random(11);
    std::vector<Bytes> frames;
    for (int k = 0; k < 3; ++k) {
        Bytes frame(kFrameBytes);
        for (std::uint8_t& sample : frame) {
            const unsigned draw = random() % 200;
            sample = draw == 0 ? 0 : draw == 1 ? 255 : std::uint8_t(20 + random() % 120);
        }
        frames.push_back(frame);
    }
    return frames;
}

struct Figures {
    double mean = 0;
    int minimum = 255;
    int maximum = 0;
    double spread = 0;
    double at0 = 0;
    double at255 = 0;
};

// The figures worked out directly: the periphery in the region, and in the fovea the pixels
// the fovea table gathers (only for the whole sensor); levels raw or corrected by the gain
// law with the given offset and no dark image.
Figures Expected(const Bytes& frame, bool bCorrected, int offset, int gain, int firstRing,
                 int lastRing, int firstSector, int lastSector) {
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, gain);
    std::vector<int> levels;
    auto take = [&](std::size_t i) {
        levels.push_back(bCorrected ? table[std::clamp(frame[i] + offset, 0, 255)] : frame[i]);
    };
    for (int s = 0; s < kSectors; ++s) {
        const bool bInSectors = firstSector <= lastSector ? s >= firstSector && s <= lastSector
                                                          : s >= firstSector || s <= lastSector;
        for (int r = std::max(firstRing, kFoveaRings); r <= lastRing && bInSectors; ++r) {
            take(FrameIndex(s, r));
        }
    }
    if (firstRing == 0) {
        for (int r = 1; r < kFoveaRings; ++r) {
            for (int s = 0; s < 6 * r; ++s) {
                take(FrameIndex(FoveaTable()[FoveaIndex(s, r)], r));
            }
        }
    }
    Figures f;
    double sum = 0;
    double squares = 0;
    for (int level : levels) {
        sum += level;
        squares += double(level) * level;
        f.minimum = std::min(f.minimum, level);
        f.maximum = std::max(f.maximum, level);
        f.at0 += level == 0 ? 1 : 0;
        f.at255 += level == 255 ? 1 : 0;
    }
    const double n = double(levels.size());
    f.mean = sum / n;
    f.spread = std::sqrt(squares / n - f.mean * f.mean);
    f.at0 /= n;
    f.at255 /= n;
    return f;
}

struct StatsCase {
    const char* name;
    const char* arguments;
    bool corrected;
    int firstRing, lastRing, firstSector, lastSector;
};

void PrintTo(const StatsCase& c, std::ostream* os) {
    *os << c.name;
}

class CliStatsTest : public CliFixture, public ::testing::WithParamInterface<StatsCase> {};

// Catches statistics over the wrong samples (unused fovea positions, a region off by one or
// not wrapping past sector 0), corrected levels unlike convert's, a population deviation
// taken as a sample one, and a CSV that is not one header and one row per frame.
TEST_P(CliStatsTest, MatchesADirectComputation) {
    const std::vector<Bytes> frames = RandomFrames();
    WriteFrames("run.raw", frames);
    const StatsCase& c = GetParam();
    ASSERT_EQ(Run(std::string("stats --csv --calibration none --offset 10 --gain 3 ") +
                  c.arguments + " run.raw"),
              0)
        << m_strError;
    std::istringstream csv(m_strOutput);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "index,time_us,channel,mean,min,max,std,at0,at255");
    for (std::size_t k = 0; k < frames.size(); ++k) {
        ASSERT_TRUE(std::getline(csv, line));
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');) {
            fields.push_back(field);
        }
        ASSERT_EQ(fields.size(), 9u) << line;
        EXPECT_EQ(fields[0], std::to_string(k));
        EXPECT_EQ(fields[1], "");  // no sidecar: no time
        EXPECT_EQ(fields[2], "grey");
        const Figures f = Expected(frames[k], c.corrected, 10, 3, c.firstRing, c.lastRing,
                                   c.firstSector, c.lastSector);
        EXPECT_NEAR(std::stod(fields[3]), f.mean, 1e-4) << line;
        EXPECT_EQ(std::stoi(fields[4]), f.minimum) << line;
        EXPECT_EQ(std::stoi(fields[5]), f.maximum) << line;
        EXPECT_NEAR(std::stod(fields[6]), f.spread, 1e-4) << line;
        EXPECT_NEAR(std::stod(fields[7]), f.at0, 1e-6) << line;
        EXPECT_NEAR(std::stod(fields[8]), f.at255, 1e-6) << line;
    }
    EXPECT_FALSE(std::getline(csv, line)) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Values, CliStatsTest,
    ::testing::Values(
        StatsCase{"RawWhole", "", false, 0, kRings - 1, 0, kSectors - 1},
        StatsCase{"CorrectedWhole", "--values corrected", true, 0, kRings - 1, 0, kSectors - 1},
        StatsCase{"RawRegion", "--rings 60-100 --sectors 10-40", false, 60, 100, 10, 40},
        StatsCase{"CorrectedWrappedRegion", "--values corrected --rings 42-151 --sectors 240-5",
                  true, 42, 151, 240, 5}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a region of fovea positions without pixels reported as zeros (or a division by
// zero) instead of refused, and ranges the sensor does not have accepted.
TEST_F(CliStatsTest, RefusesRegionsWithoutPixels) {
    WriteFrames("run.raw", RandomFrames());
    EXPECT_EQ(Run("stats --rings 0 run.raw"), 2);
    EXPECT_NE(m_strError.find("holds no sensor pixel"), std::string::npos) << m_strError;
    EXPECT_EQ(Run("stats --rings 100-40 run.raw"), 2);
    EXPECT_EQ(Run("stats --sectors 0-252 run.raw"), 2);
    EXPECT_EQ(Run("stats --values bright run.raw"), 2);
}

}  // namespace
