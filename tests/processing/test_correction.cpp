#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <tuple>

#include "ProcessingTestSupport.h"
#include "processing/FrameProcessor.h"
#include "processing/MonoProcessor.h"

namespace {

GainTable TableFor(double gain) {
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, gain);
    return table;
}

struct GainReference {
    double gain;
    std::array<int, 12> first;
    int at32, at64, at128, at192;
    int firstSaturated;
};

void PrintTo(const GainReference& c, std::ostream* os) {
    *os << "gain " << c.gain;
}

class GainTableReference : public ::testing::TestWithParam<GainReference> {};

// Catches rounding instead of truncation, a wrong exponent step or a missing saturation.
TEST_P(GainTableReference, MatchesReferenceRow) {
    const GainReference& ref = GetParam();
    const GainTable table = TableFor(ref.gain);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(table[i], ref.first[i]) << "entry " << i;
    }
    EXPECT_EQ(table[32], ref.at32);
    EXPECT_EQ(table[64], ref.at64);
    EXPECT_EQ(table[128], ref.at128);
    EXPECT_EQ(table[192], ref.at192);
    const auto saturated = std::find(table.begin(), table.end(), 255);
    EXPECT_EQ(saturated - table.begin(), ref.firstSaturated);
}

INSTANTIATE_TEST_SUITE_P(
    Gains, GainTableReference,
    ::testing::Values(
        GainReference{1, {0, 0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6}, 19, 42, 96, 166, 255},
        GainReference{3, {0, 1, 3, 5, 7, 8, 10, 12, 14, 15, 17, 19}, 59, 127, 255, 255, 116},
        GainReference{10, {0, 5, 11, 17, 23, 29, 35, 41, 47, 53, 59, 65}, 198, 255, 255, 255, 41}));

class BlackGain : public ::testing::TestWithParam<double> {};

// Catches a negative gain wrapping into its low 8 bits instead of giving black.
TEST_P(BlackGain, GivesAnAllZeroTable) {
    const GainTable table = TableFor(GetParam());
    EXPECT_EQ(std::count(table.begin(), table.end(), 0), 256);
}

INSTANTIATE_TEST_SUITE_P(Gains, BlackGain, ::testing::Values(0.0, -1.0, -3.0, -999.0));

// Catches an out-of-range cast when a huge gain saturates the whole curve.
TEST(GainTableLimits, HugeGainSaturatesAllButZero) {
    const GainTable table = TableFor(2147483647.0);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(std::count(table.begin() + 1, table.end(), 255), 255);
}

struct CorrectCase {
    int raw, calibration, offset, expectedIndex;
};

void PrintTo(const CorrectCase& c, std::ostream* os) {
    *os << "raw " << c.raw << " dark " << c.calibration << " offset " << c.offset;
}

class CorrectClamp : public ::testing::TestWithParam<CorrectCase> {};

// Catches a missing clamp at either end (or wrapping of foreign calibration values).
TEST_P(CorrectClamp, ClampsBeforeTheLookUp) {
    const CorrectCase c = GetParam();
    GainTable table;
    std::iota(table.begin(), table.end(), 0);
    std::reverse(table.begin(), table.end());  // entry v is 255 - v: index is observable
    std::vector<std::uint8_t> raw(kFrameBytes, std::uint8_t(c.raw));
    std::vector<std::int32_t> calibration(kFrameBytes, c.calibration);
    std::vector<std::uint8_t> out(kFrameBytes, 1);
    CFrameProcessor::Correct(table, out.data(), raw.data(), calibration.data(), c.offset);
    EXPECT_EQ(out.front(), 255 - c.expectedIndex);
    EXPECT_EQ(out.back(), 255 - c.expectedIndex);
}

INSTANTIATE_TEST_SUITE_P(Samples, CorrectClamp,
                         ::testing::Values(CorrectCase{200, 10, 80, 255},
                                           CorrectCase{5, 100, 80, 0},
                                           CorrectCase{100, 20, 80, 160}, CorrectCase{0, 0, 0, 0},
                                           CorrectCase{255, 0, 0, 255},
                                           CorrectCase{0, -2147483647, 0, 255},
                                           CorrectCase{255, 2147483647, -100, 0}));

// Sum of the ten calibration samples at every index, and the mean it must give.
class CalibrationRounding : public ::testing::TestWithParam<std::pair<int, int>> {};

// Catches truncating instead of rounding half up, or an overflowing byte sum.
TEST_P(CalibrationRounding, AveragesTenFramesHalfUp) {
    const auto [sum, expected] = GetParam();
    std::vector<FrameBytes> frames;
    for (int k = 0; k < 10; ++k) {
        // Spread the sum over the ten frames: the first (sum % 10) frames carry one more.
        frames.push_back(UniformFrame(std::uint8_t(sum / 10 + (k < sum % 10 ? 1 : 0))));
    }
    CScratchDirectory directory;
    CTestCamera camera(frames);
    ASSERT_TRUE(camera.IsOpen());
    CMonoProcessor processor;
    processor.SetCalibrationPath(directory.File("calimage.data"));
    processor.Configure(0, 80, 320, 320, 3, 256, 256);
    processor.SetCamera(camera.Camera());
    ASSERT_EQ(processor.Calibrate(), 1);
    EXPECT_EQ(processor.CalibrationImage()[0], expected);
    EXPECT_EQ(processor.CalibrationImage()[kFrameBytes - 1], expected);
    const auto bytes = ReadBytes(directory.File("calimage.data"));
    ASSERT_EQ(bytes.size(), kFrameBytes * 4);
    EXPECT_EQ(bytes[0], expected);
    EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
}

INSTANTIATE_TEST_SUITE_P(Sums, CalibrationRounding,
                         ::testing::Values(std::pair{15, 2}, std::pair{14, 1}, std::pair{2550, 255},
                                           std::pair{0, 0}, std::pair{5, 1}, std::pair{4, 0}));

class CalibrationFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        m_previousFile = std::vector<std::uint8_t>(kFrameBytes * 4, 0x11);
        WriteBytes(m_directory.File("calimage.data"), m_previousFile);
    }

    CScratchDirectory m_directory;
    std::vector<std::uint8_t> m_previousFile;
};

// Catches a calibration that fails part-way wiping the dark image in use (the picture would
// change while the file still holds the old one) or damaging the stored file.
TEST_F(CalibrationFailure, ReadFailureAtFifthFrameKeepsImageAndOldFile) {
    CTestCamera camera({UniformFrame(50)}, 4);
    ASSERT_TRUE(camera.IsOpen());
    CMonoProcessor processor;
    processor.SetCalibrationPath(m_directory.File("calimage.data"));
    processor.Configure(0, 80, 320, 320, 3, 256, 256);
    ASSERT_EQ(processor.CalibrationImage()[0], 0x11111111);  // loaded from the old file
    processor.SetCamera(camera.Camera());
    EXPECT_EQ(processor.Calibrate(), 0);
    const std::int32_t* pImage = processor.CalibrationImage();
    EXPECT_TRUE(
        std::all_of(pImage, pImage + kFrameBytes, [](std::int32_t v) { return v == 0x11111111; }));
    EXPECT_EQ(ReadBytes(m_directory.File("calimage.data")), m_previousFile);
    EXPECT_EQ(m_directory.Entries().size(), 1u);
}

// Catches a calibration file written in place: an unwritable directory must keep the old.
TEST_F(CalibrationFailure, UnwritableFileKeepsCalibrationInMemory) {
    CTestCamera camera({UniformFrame(50)});
    CMonoProcessor processor;
    processor.SetCalibrationPath(m_directory.File("missing-dir/calimage.data"));
    processor.Configure(0, 80, 320, 320, 3, 256, 256);
    processor.SetCamera(camera.Camera());
    EXPECT_EQ(processor.Calibrate(), 1);
    EXPECT_EQ(processor.CalibrationImage()[123], 50);
    EXPECT_FALSE(std::filesystem::exists(m_directory.File("missing-dir")));
}

// Catches a calibration that does not replace the stored file whole, or leaves a temp file.
TEST_F(CalibrationFailure, SuccessReplacesTheFileWhole) {
    CTestCamera camera({PatternFrame(3, 7)});
    CMonoProcessor processor;
    processor.SetCalibrationPath(m_directory.File("calimage.data"));
    processor.Configure(0, 80, 320, 320, 3, 256, 256);
    processor.SetCamera(camera.Camera());
    ASSERT_EQ(processor.Calibrate(), 1);
    const auto bytes = ReadBytes(m_directory.File("calimage.data"));
    ASSERT_EQ(bytes.size(), kFrameBytes * 4);
    const FrameBytes pattern = PatternFrame(3, 7);
    for (std::size_t i = 0; i < kFrameBytes; i += 997) {
        EXPECT_EQ(bytes[i * 4], pattern[i]) << "index " << i;
    }
    EXPECT_EQ(m_directory.Entries(), std::vector<std::string>{"calimage.data"});
}

struct WrongCalibration {
    const char* name;
    std::size_t bytes;  // the file's length; npos: a directory of that name
};

void PrintTo(const WrongCalibration& c, std::ostream* os) {
    *os << c.name;
}

class WrongCalibrationFile : public ::testing::TestWithParam<WrongCalibration> {
  protected:
    CScratchDirectory m_directory;
};

// Catches a dark-image file of the wrong kind or length applied as a partial (or empty)
// dark image instead of refused with a reason.
TEST_P(WrongCalibrationFile, IsRefusedAndLeavesTheImageAllZero) {
    const std::string path = m_directory.File("calimage.data");
    if (GetParam().bytes == std::string::npos) {
        std::filesystem::create_directory(path);
    } else {
        WriteBytes(path, std::vector<std::uint8_t>(GetParam().bytes, 7));
    }
    CMonoProcessor processor;
    processor.SetCalibrationPath(path);
    processor.Configure(0, 80, 320, 320, 3, 256, 256);
    const std::int32_t* pImage = processor.CalibrationImage();
    EXPECT_TRUE(std::all_of(pImage, pImage + kFrameBytes, [](std::int32_t v) { return v == 0; }));
    EXPECT_FALSE(processor.CalibrationLoaded());
    EXPECT_NE(processor.CalibrationLoaded().Error().find(path), std::string::npos)
        << processor.CalibrationLoaded().Error();
}

INSTANTIATE_TEST_SUITE_P(Files, WrongCalibrationFile,
                         ::testing::Values(WrongCalibration{"Empty", 0},
                                           WrongCalibration{"ThreeBytes", 3},
                                           WrongCalibration{"HalfFile", kFrameBytes * 2},
                                           WrongCalibration{"OneByteShort", kFrameBytes * 4 - 1},
                                           WrongCalibration{"OneByteLong", kFrameBytes * 4 + 1},
                                           WrongCalibration{"Directory", std::string::npos}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a missing file reported as a fault: an uncalibrated camera is the normal start.
TEST(CalibrationLoad, MissingFileIsNoError) {
    CScratchDirectory directory;
    CMonoProcessor processor;
    processor.SetCalibrationPath(directory.File("calimage.data"));
    processor.Configure(0, 80, 320, 320, 3, 256, 256);
    EXPECT_TRUE(processor.CalibrationLoaded()) << processor.CalibrationLoaded().Error();
}

}  // namespace
