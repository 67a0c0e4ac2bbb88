#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "levels/DisplayRange.h"
#include "processing/ChannelMap.h"
#include "processing/ColorProcessor.h"
#include "processing/FlatField.h"
#include "processing/FrameProcessor.h"
#include "sensor/FoveaTable.h"
#include "statistics/LevelSeries.h"
#include "statistics/SampleLevels.h"

namespace {

struct RandomFrame {
    std::vector<std::uint8_t> raw = std::vector<std::uint8_t>(kFrameBytes);
    std::vector<std::int32_t> dark = std::vector<std::int32_t>(kFrameBytes);
    GainTable table{};
};

RandomFrame MakeFrame(unsigned seed) {
    std::mt19937 random(seed);
    RandomFrame frame;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        frame.raw[i] = std::uint8_t(random() % 256);
        frame.dark[i] = int(random() % 20);
    }
    CFrameProcessor::BuildGainTable(frame.table, 4);
    return frame;
}

// The figures worked out the plain way: the physical samples from the fovea table, each
// level from its definition, the region by ring and by sector (in the fovea by the shown
// sector's centre, scaled to 252).
std::array<std::array<std::uint32_t, 256>, 3> Expected(const RandomFrame& f, bool bColor,
                                                       LevelValues values, int offset,
                                                       const SampleRegion& region) {
    std::array<std::array<std::uint32_t, 256>, 3> counts{};
    auto corrected = [&](std::size_t i) {
        return int(f.table[std::clamp(int(f.raw[i]) - f.dark[i] + offset, 0, 255)]);
    };
    int low = 255;
    int high = 0;
    for (int s = 0; s < kSectors; ++s) {
        for (int r = kFoveaRings; r < kRings; ++r) {
            low = std::min(low, corrected(FrameIndex(s, r)));
            high = std::max(high, corrected(FrameIndex(s, r)));
        }
    }
    auto count = [&](std::size_t i, int ring, int sector, int shownSector) {
        if (!region.Contains(ring, sector)) {
            return;
        }
        int level = f.raw[i];
        if (values != LevelValues::kRaw) {
            level = corrected(i);
        }
        if (values == LevelValues::kShown) {
            level = !bColor                   ? ShownGreyLevel(level)
                    : low == 0 && high == 255 ? level
                    : level <= low            ? 0
                    : level >= high           ? 255
                                              : 255 * (level - low) / (high - low);
        }
        const ChannelCode code = ChannelCodeOf(shownSector, ring);
        const int row = !bColor ? 0 : code == kBlueChannel ? 0 : code == kGreenChannel ? 1 : 2;
        ++counts[row][level];
    };
    for (int s = 0; s < kSectors; ++s) {
        for (int r = kFoveaRings; r < kRings; ++r) {
            count(FrameIndex(s, r), r, s, s);
        }
    }
    for (int r = 1; r < kFoveaRings; ++r) {
        for (int shown = 0; shown < 6 * r; ++shown) {
            const int read = FoveaTable()[FoveaIndex(shown, r)];
            count(FrameIndex(read, r), r, int((shown + 0.5) * kSectors / (6.0 * r)), shown);
        }
    }
    return counts;
}

// The same figures bit for bit, as the command's CSV needs.
void ExpectSameFigures(const ChannelStatistics& a, const ChannelStatistics& b, int row) {
    EXPECT_EQ(a.samples, b.samples) << "row " << row;
    EXPECT_EQ(a.minimum, b.minimum) << "row " << row;
    EXPECT_EQ(a.maximum, b.maximum) << "row " << row;
    EXPECT_EQ(a.mean, b.mean) << "row " << row;
    EXPECT_EQ(a.spread, b.spread) << "row " << row;
    EXPECT_EQ(a.clippedLow, b.clippedLow) << "row " << row;
    EXPECT_EQ(a.clippedHigh, b.clippedHigh) << "row " << row;
}

struct CountCase {
    const char* name;
    bool color;
    LevelValues values;
    SampleRegion region;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.name;
}

class SampleLevelsTest : public ::testing::TestWithParam<CountCase> {};

// Catches counts over the wrong samples (unused fovea positions, a region off by one or not
// wrapping past sector 0), a wrong channel for a fovea pixel, corrected or shown levels
// that are not what the processor and the screen make of the samples, and summed figures
// that differ from the counts' by as much as a bit.
TEST_P(SampleLevelsTest, MatchesAPlainComputation) {
    const CountCase& c = GetParam();
    for (unsigned seed : {1u, 2u}) {
        const RandomFrame f = MakeFrame(seed);
        const FrameSamples frame{f.raw.data(), f.dark.data(), 30, &f.table, c.color};
        const LevelCounts counts = CountSampleLevels(frame, c.values, c.region);
        const auto expected = Expected(f, c.color, c.values, 30, c.region);
        const std::array<ChannelStatistics, 3> figures =
            SummarizeSampleLevels(frame, c.values, c.region);
        ASSERT_EQ(counts.channels, c.color ? 3 : 1);
        for (int row = 0; row < counts.channels; ++row) {
            EXPECT_EQ(counts.counts[row], expected[row]) << "row " << row << " seed " << seed;
            ExpectSameFigures(figures[row], SummarizeLevels(expected[row]), row);
        }
    }
}

// Catches a prepared shift or a flat taken otherwise than the frame's own correction: the
// figures with a flat, and with the shift prepared by the caller, against the counts.
TEST(SampleLevels, SumsWithAFlatOrAPreparedShiftMatchTheCounts) {
    const RandomFrame f = MakeFrame(4);
    std::mt19937 random(4);
    std::vector<std::int32_t> factors(kFrameBytes);
    for (std::int32_t& factor : factors) {
        factor = kFlatFactorOne / 2 + std::int32_t(random() % kFlatFactorOne);
    }
    std::vector<std::int16_t> shift(kFrameBytes);
    CFrameProcessor::PrepareCorrectionShift(f.dark.data(), 25, shift.data());
    for (const bool color : {false, true}) {
        const FrameSamples plain{f.raw.data(), f.dark.data(), 25, &f.table, color};
        FrameSamples flat = plain;
        flat.pFlatFactors = factors.data();
        FrameSamples prepared = plain;
        prepared.pShift = shift.data();
        for (const LevelValues values : {LevelValues::kCorrected, LevelValues::kShown}) {
            const LevelCounts counts = CountSampleLevels(plain, values);
            const LevelCounts flatCounts = CountSampleLevels(flat, values);
            const auto figures = SummarizeSampleLevels(prepared, values);
            const auto flatFigures = SummarizeSampleLevels(flat, values);
            EXPECT_NE(flatCounts.counts[0], counts.counts[0]);  // the flat is applied
            for (int row = 0; row < counts.channels; ++row) {
                EXPECT_EQ(CountSampleLevels(prepared, values).counts[row], counts.counts[row]);
                ExpectSameFigures(figures[row], SummarizeLevels(counts.counts[row]), row);
                ExpectSameFigures(flatFigures[row], SummarizeLevels(flatCounts.counts[row]), row);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SampleLevelsTest,
    ::testing::Values(CountCase{"MonoRaw", false, LevelValues::kRaw, {}},
                      CountCase{"MonoCorrected", false, LevelValues::kCorrected, {}},
                      CountCase{"MonoShown", false, LevelValues::kShown, {}},
                      CountCase{"ColourShown", true, LevelValues::kShown, {}},
                      CountCase{"ColourRaw", true, LevelValues::kRaw, {}},
                      CountCase{"RegionBand", false, LevelValues::kCorrected, {50, 90, 10, 40}},
                      CountCase{"RegionWrapsAndFovea", true, LevelValues::kRaw, {5, 60, 240, 12}}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches counts taken with the samples of the region or sensor counted before: regions and
// sensors in turn, each against the plain computation.
TEST(SampleLevels, EachCallCountsItsOwnRegionAndSensor) {
    const RandomFrame f = MakeFrame(3);
    const SampleRegion regions[] = {{}, {50, 90, 10, 40}, {}, {5, 60, 240, 12}, {50, 90, 10, 40}};
    for (const SampleRegion& region : regions) {
        for (const bool color : {false, true, false}) {
            const FrameSamples frame{f.raw.data(), nullptr, 12, &f.table, color};
            const LevelCounts counts = CountSampleLevels(frame, LevelValues::kCorrected, region);
            RandomFrame noDark = f;
            std::fill(noDark.dark.begin(), noDark.dark.end(), 0);
            const auto expected = Expected(noDark, color, LevelValues::kCorrected, 12, region);
            for (int row = 0; row < counts.channels; ++row) {
                ASSERT_EQ(counts.counts[row], expected[row])
                    << region.Describe() << (color ? " colour" : " mono") << " row " << row;
            }
        }
    }
}

// Catches shown colour levels that are not what the colour picture holds: each periphery
// sample's own channel after the processor's stretch and reconstruction (sector 0, which
// the reconstruction estimates again, left out).
TEST(SampleLevels, ShownColourIsTheColourPicturesOwnChannel) {
    const RandomFrame f = MakeFrame(7);
    std::vector<std::uint8_t> corrected(kFrameBytes);
    std::vector<std::uint8_t> colour(kColorFrameBytes);
    CFrameProcessor::Correct(f.table, corrected.data(), f.raw.data(), f.dark.data(), -40);
    CFrameProcessor::FillFovea(corrected.data());
    CColorProcessor::ReconstructColor(corrected.data(), colour.data());
    LevelCounts expected;
    expected.channels = 3;
    for (int s = 1; s < kSectors; ++s) {
        for (int r = kFoveaRings; r < kRings; ++r) {
            const ChannelCode code = ChannelCodeOf(s, r);
            const int row = code == kBlueChannel ? 0 : code == kGreenChannel ? 1 : 2;
            const int byte = code == kBlueChannel ? 0 : code == kGreenChannel ? 1 : 2;
            ++expected.counts[row][colour[FrameIndex(s, r) * 3 + byte]];
        }
    }
    const FrameSamples frame{f.raw.data(), f.dark.data(), -40, &f.table, true};
    const LevelCounts counts =
        CountSampleLevels(frame, LevelValues::kShown, {kFoveaRings, kRings - 1, 1, kSectors - 1});
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(counts.counts[row], expected.counts[row]) << "row " << row;
    }
}

// Catches a CSV that loses a column, a point or precision a reader needs, or a header that
// does not name what follows.
TEST(LevelSeries, CsvReadsBackAsWritten) {
    CLevelSeries series;
    series.Start(3, true);
    for (int k = 0; k < 4; ++k) {
        SeriesPoint point;
        point.index = 10 + k;
        point.timeUs = 100000 * k + 7;
        point.whole = {1.25 * k, 2.5, 200.125};
        point.region = {0, 255, 17.5 + k};
        series.Add(point);
    }
    std::istringstream csv(series.Csv());
    std::string header;
    std::getline(csv, header);
    EXPECT_EQ(header, "index,time_us,red,green,blue,region_red,region_green,region_blue");
    std::size_t k = 0;
    for (std::string line; std::getline(csv, line); ++k) {
        std::vector<double> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');) {
            fields.push_back(std::stod(field));
        }
        const SeriesPoint& point = series.Points()[k];
        ASSERT_EQ(fields.size(), 8u) << line;
        EXPECT_EQ(fields[0], double(point.index));
        EXPECT_EQ(fields[1], double(point.timeUs));
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(fields[2 + c], point.whole[c], 5e-4);
            EXPECT_NEAR(fields[5 + c], point.region[c], 5e-4);
        }
    }
    EXPECT_EQ(k, series.Points().size());
    series.Trim(150000);  // keeps the points within 0.15 s of the newest
    EXPECT_EQ(series.Points().size(), 2u);
}

}  // namespace
