#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "processing/CalibrationFile.h"
#include "processing/FlatField.h"
#include "processing/FrameProcessor.h"
#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "statistics/SampleLevels.h"
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

// The CSV worked out from the library's counts, printed as the command printed it before it
// summed instead of counting.
std::string CsvOfCounts(const std::vector<Bytes>& frames, const std::vector<std::int32_t>& dark,
                        const std::int32_t* pFlatFactors, bool bColor, LevelValues values) {
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, 3);
    std::string csv = "index,time_us,channel,mean,min,max,std,at0,at255\n";
    const std::vector<std::pair<const char*, int>> channels =
        bColor ? std::vector<std::pair<const char*, int>>{{"red", 2}, {"green", 1}, {"blue", 0}}
               : std::vector<std::pair<const char*, int>>{{"grey", 0}};
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const FrameSamples frame{frames[k].data(), dark.data(), 10, &table, bColor, pFlatFactors};
        const LevelCounts counts = CountSampleLevels(frame, values);
        for (const auto& [name, row] : channels) {
            const ChannelStatistics s = SummarizeLevels(counts.counts[row]);
            char line[200];
            std::snprintf(line, sizeof(line), "%zu,,%s,%.4f,%d,%d,%.4f,%.6f,%.6f\n", k, name,
                          s.mean, s.minimum, s.maximum, s.spread, s.clippedLow, s.clippedHigh);
            csv += line;
        }
    }
    return csv;
}

// Catches CSV bytes that differ from the counts printed with printf in any form the command
// sums: raw, corrected with a dark image, with a flat too, and shown, black-and-white and
// colour.
TEST_F(CliStatsTest, CsvIsThePrintfFormOfTheCounts) {
    const std::vector<Bytes> frames = RandomFrames();
    WriteFrames("run.raw", frames);
    std::mt19937 random(2);
    std::vector<std::int32_t> dark(kFrameBytes);
    FlatImage flat;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        dark[i] = std::int32_t(random() % 16);
        flat.levels[i] = float(40 + random() % 40);
    }
    flat.frames = 16;
    ASSERT_TRUE(StoreCalibrationFile(Path("dark.data"), dark.data()));
    ASSERT_TRUE(StoreFlatFile(Path("flat.data"), flat));
    const std::vector<std::int32_t> factors = FlatFactors(flat);
    const struct {
        const char* arguments;
        LevelValues values;
        bool bFlat;
    } forms[] = {{"", LevelValues::kRaw, false},
                 {"--values corrected", LevelValues::kCorrected, false},
                 {"--values corrected --flat flat.data", LevelValues::kCorrected, true},
                 {"--values shown", LevelValues::kShown, false}};
    for (const bool bColor : {false, true}) {
        for (const auto& form : forms) {
            ASSERT_EQ(
                Run(std::string("stats --csv --calibration dark.data --offset 10 --gain 3 ") +
                    (bColor ? "--sensor color " : "--sensor mono ") + form.arguments + " run.raw"),
                0)
                << m_strError;
            EXPECT_EQ(m_strOutput, CsvOfCounts(frames, dark, form.bFlat ? factors.data() : nullptr,
                                               bColor, form.values))
                << form.arguments << (bColor ? " colour" : " mono");
        }
    }
}

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
