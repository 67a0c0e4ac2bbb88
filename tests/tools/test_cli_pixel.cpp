#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>

#include "pixelprobe/SensorProbe.h"
#include "processing/FrameProcessor.h"
#include "sensor/LogPolarFrame.h"
#include "tests/tools/CliRunner.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBmpPixelsAt = 58;

// Two frames; the last one has a level pattern over its sectors and rings (about 40 levels
// above a dark level like the camera's), so each pixel tells which sample it came from.
Bytes Recording() {
    Bytes frames(kFrameBytes * 2, 3);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        frames[kFrameBytes + i] = std::uint8_t(4 + (i * 7 + i / kRings) % 41);
    }
    return frames;
}

class CliInspectTest : public CliFixture {
  protected:
    void SetUp() override { WriteAll(Path("run.raw"), Recording()); }
};

struct InspectCase {
    const char* name;
    const char* arguments;
    const char* line;
};

void PrintTo(const InspectCase& c, std::ostream* os) {
    *os << c.name;
}

class CliInspectPixels : public CliInspectTest,
                         public ::testing::WithParamInterface<InspectCase> {};

// Catches a command line that names another sample than the picture uses at the remap's
// reference pixels, or prints more or other than the one documented line.
TEST_P(CliInspectPixels, PrintsOneLine) {
    ASSERT_EQ(Run(std::string("inspect ") + GetParam().arguments), 0) << m_strError;
    EXPECT_EQ(m_strOutput, GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    ReferencePixels, CliInspectPixels,
    ::testing::Values(
        InspectCase{"Small", "--size 256 129 128", "x=129 y=128 sector=0 ring=4 index=4\n"},
        InspectCase{"Large", "--size 512 256 255", "x=256 y=255 sector=3 ring=2 index=458\n"},
        InspectCase{"DefaultSize", "128 128", "x=128 y=128 sector=0 ring=0 index=0\n"},
        InspectCase{"Outside", "--size 256 0 0", "x=0 y=0 outside\n"},
        InspectCase{"Unmapped", "--view unmapped 251 0", "x=251 y=0 sector=0 ring=0 index=0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches pixel coordinates outside the picture accepted (and read past the table).
TEST_F(CliInspectTest, RejectsPixelsOffThePicture) {
    EXPECT_EQ(Run("inspect --size 256 256 0"), 2);
    EXPECT_NE(m_strError.find("256 x 256"), std::string::npos) << m_strError;
    EXPECT_EQ(Run("inspect --size 256 5"), 2);
}

// Catches values that are not those of the processed frame: raw and dark of the sample,
// its correction, and the pixel exactly as convert saves it.
TEST_F(CliInspectTest, FrameValuesMatchConvert) {
    const int x = 200;
    const int y = 90;
    ASSERT_EQ(Run("convert --calibration none --offset 5 --gain 10 run.raw out.bmp"), 0)
        << m_strError;
    const Bytes bmp = ReadAll(Path("out.bmp"));
    ASSERT_EQ(Run("inspect --size 256 --frame run.raw --calibration none --offset 5 --gain 10 " +
                  std::to_string(x) + " " + std::to_string(y)),
              0)
        << m_strError;
    const SensorPoint point = ProbeRemapped(256, x, y);
    ASSERT_TRUE(point.bInside);
    const Bytes frames = Recording();
    const int raw = frames[kFrameBytes + point.rawIndex];
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, 10);
    const std::size_t at = kBmpPixelsAt + (std::size_t(255 - y) * 256 + x) * 3;
    char expected[200];
    std::snprintf(expected, sizeof(expected),
                  "x=%d y=%d sector=%d ring=%d index=%zu raw=%d dark=0 corrected=%d "
                  "shown=%d,%d,%d\n",
                  x, y, point.sector, point.ring, point.index, raw, table[raw + 5], bmp[at],
                  bmp[at + 1], bmp[at + 2]);
    EXPECT_EQ(m_strOutput, expected);
}

// Catches Auto Levels in convert that prints values a later convert does not reproduce,
// or that leaves the washed-out defaults in place.
TEST_F(CliInspectTest, ConvertAutoLevelsIsRepeatable) {
    ASSERT_EQ(Run("convert --calibration none --auto-levels run.raw auto.bmp"), 0) << m_strError;
    int offset = 0;
    int gain = 0;
    ASSERT_EQ(std::sscanf(m_strError.c_str(), "offset=%d gain=%d", &offset, &gain), 2)
        << m_strError;
    EXPECT_NE(gain, 3);
    ASSERT_EQ(Run("convert --calibration none --offset " + std::to_string(offset) + " --gain " +
                  std::to_string(gain) + " run.raw again.bmp"),
              0);
    EXPECT_EQ(ReadAll(Path("auto.bmp")), ReadAll(Path("again.bmp")));
    EXPECT_EQ(Run("convert --auto-levels=1 run.raw x.bmp"), 2);  // a flag takes no value
}

// Catches a calibration that says nothing of what it measured, or does not warn when the
// lens was plainly not covered; the file is written either way.
TEST_F(CliInspectTest, CalibrateSummarisesAndWarnsWhenLit) {
    ASSERT_EQ(Run("calibrate --camera sim,dark,fps=0 --output dark.data"), 0) << m_strError;
    EXPECT_EQ(m_strError.rfind("Calibrated from 10 frames: dark levels ", 0), 0u) << m_strError;
    EXPECT_EQ(m_strError.find("look lit"), std::string::npos) << m_strError;
    ASSERT_EQ(Run("calibrate --camera sim,fps=0 --output lit.data"), 0) << m_strError;
    EXPECT_NE(m_strError.find("look lit"), std::string::npos) << m_strError;
    EXPECT_EQ(ReadAll(Path("lit.data")).size(), kFrameBytes * 4);
}

}  // namespace
