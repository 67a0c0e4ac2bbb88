#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixelprobe/SensorProbe.h"
#include "processing/FrameProcessor.h"
#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"

namespace {

struct PixelCase {
    const char* name;
    int size;
    int x;
    int y;
    bool inside;
    int sector;
    int ring;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.name;
}

class RemappedProbeTest : public ::testing::TestWithParam<PixelCase> {};

// Catches a probe that reads the wrong table entry (odd rows of the small picture, rows
// counted from the bottom, x and y swapped) at the remap's reference pixels.
TEST_P(RemappedProbeTest, NamesTheSampleThePictureShows) {
    const PixelCase& c = GetParam();
    const SensorPoint point = ProbeRemapped(c.size, c.x, c.y);
    ASSERT_EQ(point.bInside, c.inside);
    if (c.inside) {
        EXPECT_EQ(point.sector, c.sector);
        EXPECT_EQ(point.ring, c.ring);
        EXPECT_EQ(point.index, FrameIndex(c.sector, c.ring));
    }
}

INSTANTIATE_TEST_SUITE_P(ReferencePixels, RemappedProbeTest,
                         ::testing::Values(PixelCase{"Small129x128", 256, 129, 128, true, 0, 4},
                                           PixelCase{"SmallCentre", 256, 128, 128, true, 0, 0},
                                           PixelCase{"Large257x256", 512, 257, 256, true, 0, 2},
                                           PixelCase{"Large256x255", 512, 256, 255, true, 3, 2},
                                           PixelCase{"SmallCorner", 256, 0, 0, false, 0, 0},
                                           PixelCase{"LargeCorner", 512, 511, 511, false, 0, 0},
                                           PixelCase{"OffThePicture", 256, 256, 10, false, 0, 0},
                                           PixelCase{"UnknownSize", 300, 10, 10, false, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a probe that disagrees with the table anywhere in the small picture.
TEST(SensorProbe, EverySmallPicturePixelMatchesTheTable) {
    const std::uint16_t* pTable = RemapTable();
    for (int y = 0; y < kNormalSize; ++y) {
        for (int x = 0; x < kNormalSize; ++x) {
            const std::uint16_t entry = pTable[std::size_t(2 * y) * kRemapTableSize + 2 * x];
            const SensorPoint point = ProbeRemapped(kNormalSize, x, y);
            ASSERT_EQ(point.bInside, entry != kNoSource) << x << "," << y;
            if (point.bInside) {
                ASSERT_EQ(point.index, entry) << x << "," << y;
            }
        }
    }
}

// Catches fovea samples read from the sector they are shown at: the fill gathered them from
// the sector the fovea table names, and the periphery is read where it is shown.
TEST(SensorProbe, FoveaBoundaryReadsWhereThePixelWasGathered) {
    bool sawFovea = false;
    bool sawPeriphery = false;
    for (int i = 0; i < kZoomedSize * kZoomedSize && !(sawFovea && sawPeriphery); ++i) {
        const SensorPoint point = ProbeRemapped(kZoomedSize, i % kZoomedSize, i / kZoomedSize);
        if (point.ring == kFoveaRings - 1) {
            sawFovea = true;
            EXPECT_TRUE(point.IsFovea());
            const std::int32_t source = FoveaTable()[FoveaIndex(point.sector, point.ring)];
            ASSERT_NE(source, kNoFoveaSector);
            EXPECT_EQ(point.rawIndex, FrameIndex(source, point.ring));
        }
        if (point.ring == kFoveaRings) {
            sawPeriphery = true;
            EXPECT_FALSE(point.IsFovea());
            EXPECT_EQ(point.rawIndex, point.index);
        }
    }
    EXPECT_TRUE(sawFovea);
    EXPECT_TRUE(sawPeriphery);
}

// Catches the unmapped picture read unturned: sectors run right to left, rings downwards.
TEST(SensorProbe, UnmappedPictureCorners) {
    EXPECT_EQ(ProbeUnmapped(kSectors - 1, 0).index, FrameIndex(0, 0));
    EXPECT_EQ(ProbeUnmapped(0, kRings - 1).index, FrameIndex(kSectors - 1, kRings - 1));
    EXPECT_EQ(ProbeUnmapped(10, 100).sector, kSectors - 11);
    EXPECT_FALSE(ProbeUnmapped(kSectors, 0).bInside);
    EXPECT_FALSE(ProbeUnmapped(0, -1).bInside);
}

// Catches a reading that corrects differently from the processor: the clamp below 0 and
// above 255, then the gain table, exactly as correction does.
TEST(SensorProbe, ReadingCorrectsAsTheProcessorDoes) {
    std::vector<std::uint8_t> raw(kFrameBytes, 0);
    std::vector<std::int32_t> dark(kFrameBytes, 0);
    const SensorPoint point = ProbeUnmapped(0, 100);
    raw[point.rawIndex] = 200;
    dark[point.rawIndex] = 10;
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, 3);
    const SampleReading bright = ReadSample(point, raw.data(), dark.data(), 80, table);
    EXPECT_EQ(bright.raw, 200);
    EXPECT_EQ(bright.dark, 10);
    EXPECT_EQ(bright.corrected, table[255]);
    raw[point.rawIndex] = 5;
    dark[point.rawIndex] = 100;
    EXPECT_EQ(ReadSample(point, raw.data(), dark.data(), 80, table).corrected, 0);
    raw[point.rawIndex] = 37;
    dark[point.rawIndex] = 12;
    std::uint8_t corrected[kFrameBytes];
    CFrameProcessor::Correct(table, corrected, raw.data(), dark.data(), 5);
    EXPECT_EQ(ReadSample(point, raw.data(), dark.data(), 5, table).corrected,
              corrected[point.rawIndex]);
}

}  // namespace
