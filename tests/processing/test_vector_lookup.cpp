#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <numeric>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "ProcessingTestSupport.h"
#include "processing/FrameProcessor.h"
#include "processing/MonoProcessor.h"
#include "processing/VectorLookup.h"

// Test listings name the form instead of printing its bytes (found beside the enum).
static const char* LevelText(VectorLevel level) {
    switch (level) {
        case VectorLevel::kAvx512Vbmi:
            return "Avx512Vbmi";
        case VectorLevel::kAvx2:
            return "Avx2";
        default:
            return "Plain";
    }
}

static void PrintTo(VectorLevel level, std::ostream* os) {
    *os << LevelText(level);
}

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every entry different and out of order, so a look-up in the wrong quarter of the table,
// or a result stored in the wrong lane, shows as a wrong byte.
ByteTable ShuffledTable(unsigned seed) {
    ByteTable table;
    std::iota(table.begin(), table.end(), std::uint8_t{0});
    std::shuffle(table.begin(), table.end(), std::mt19937(seed));
    return table;
}

std::string LevelName(const ::testing::TestParamInfo<VectorLevel>& info) {
    return LevelText(info.param);
}

// Each form is forced in turn; a form this processor cannot run is skipped, not faked.
class LookupForm : public ::testing::TestWithParam<VectorLevel> {
  protected:
    void SetUp() override {
        if (!CanRun(GetParam())) {
            GTEST_SKIP() << "this processor cannot run the form";
        }
    }
};

// Catches a tail left unprocessed or overrun when the count is not a whole number of
// vectors, and lanes put back in the wrong order.
TEST_P(LookupForm, BytesMatchTheTableForEveryLength) {
    const ByteTable table = ShuffledTable(1);
    for (std::size_t count : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 200u, 38304u}) {
        const Bytes in = RandomBytes(count + 1, unsigned(count));
        Bytes out(count + 1, 0xAB);
        LookUpBytes(GetParam(), table, in.data(), out.data(), count);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(out[i], table[in[i]]) << "count " << count << " at " << i;
        }
        EXPECT_EQ(out[count], 0xAB) << "wrote past the end, count " << count;
    }
}

// Catches an in-place look-up that reads bytes it has already replaced.
TEST_P(LookupForm, InPlaceLookUpGivesTheSameBytes) {
    const ByteTable table = ShuffledTable(2);
    const Bytes original = RandomBytes(kFrameBytes, 3);
    Bytes frame = original;
    LookUpBytes(GetParam(), table, frame.data(), frame.data(), frame.size());
    for (std::size_t i = 0; i < frame.size(); ++i) {
        ASSERT_EQ(frame[i], table[original[i]]) << i;
    }
}

// Catches a clamp missing at either end, a shift sign-extended wrongly, or a sum that
// wraps in 8 bits: every sample level against every shift the preparation can give.
TEST_P(LookupForm, ShiftedLookUpClampsEverySampleAndShift) {
    const ByteTable table = ShuffledTable(4);
    Bytes samples;
    std::vector<std::int16_t> shifts;
    for (int shift = -256; shift <= 256; ++shift) {
        for (int sample = 0; sample < 256; ++sample) {
            samples.push_back(std::uint8_t(sample));
            shifts.push_back(std::int16_t(shift));
        }
    }
    samples.push_back(7);  // an odd length leaves a tail for the plain loop
    shifts.push_back(-3);
    Bytes out(samples.size());
    LookUpShiftedBytes(GetParam(), table, samples.data(), shifts.data(), out.data(),
                       samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int index = std::clamp(samples[i] + shifts[i], 0, 255);
        ASSERT_EQ(out[i], table[std::size_t(index)])
            << "sample " << int(samples[i]) << " shift " << shifts[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, LookupForm,
                         ::testing::Values(VectorLevel::kPlain, VectorLevel::kAvx2,
                                           VectorLevel::kAvx512Vbmi),
                         LevelName);

struct CorrectionCase {
    const char* name;
    std::int32_t calibrationLow;  // calibration values drawn from low..high,
    std::int32_t calibrationHigh;
    int offset;
    double gain;
};

void PrintTo(const CorrectionCase& c, std::ostream* os) {
    *os << c.name;
}

class PreparedCorrection : public ::testing::TestWithParam<CorrectionCase> {};

// Catches a prepared shift that overflows, is clamped too tightly, or loses the offset:
// the two-step correction must give exactly the bytes of the plain rule.
TEST_P(PreparedCorrection, MatchesThePlainRule) {
    const CorrectionCase& c = GetParam();
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int64_t> level(c.calibrationLow, c.calibrationHigh);
    std::vector<std::int32_t> calibration(kFrameBytes);
    for (auto& v : calibration) {
        v = std::int32_t(level(random));
    }
    // The extremes always appear, whatever the range drawn from.
    calibration[0] = c.calibrationLow;
    calibration[kFrameBytes - 1] = c.calibrationHigh;
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, c.gain);
    std::vector<std::int16_t> shift(kFrameBytes);
    CFrameProcessor::PrepareCorrectionShift(calibration.data(), c.offset, shift.data());
    for (unsigned seed : {1u, 2u}) {
        const Bytes raw = RandomBytes(kFrameBytes, seed);
        Bytes plain(kFrameBytes);
        Bytes prepared(kFrameBytes);
        CFrameProcessor::Correct(table, plain.data(), raw.data(), calibration.data(), c.offset);
        CFrameProcessor::CorrectPrepared(table, prepared.data(), raw.data(), shift.data());
        ASSERT_EQ(prepared, plain) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, PreparedCorrection,
    ::testing::Values(
        CorrectionCase{"Typical", 0, 40, 80, 3}, CorrectionCase{"EveryGainEntry", -300, 300, 0, 1},
        CorrectionCase{"CalibrationExtremes", INT32_MIN, INT32_MAX, 80, 3},
        CorrectionCase{"OffsetHighExtremeCalibration", INT32_MIN, INT32_MAX, 32768, 10},
        CorrectionCase{"OffsetLowExtremeCalibration", INT32_MIN, INT32_MAX, -32768, 10},
        CorrectionCase{"OffsetHighNearShift", 32768 - 300, 32768 + 300, 32768, 1},
        CorrectionCase{"OffsetLowNearShift", -32768 - 300, -32768 + 300, -32768, 1},
        CorrectionCase{"OffsetExtremes", -5, 5, INT_MAX, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a prepared shift that is not re-prepared when Configure changes the offset or
// Calibrate the dark image while frames are being acquired.
TEST(PreparedCorrection, ProcessorFollowsOffsetAndCalibrationChanges) {
    CScratchDirectory dir;
    const FrameBytes frame = RandomBytes(kFrameBytes, 5);
    CTestCamera camera({frame});
    ASSERT_TRUE(camera.IsOpen());
    CMonoProcessor processor;
    processor.SetCalibrationPath(dir.File("calimage.data"));
    processor.Configure(0, 80, 320, 320, 1, kNormalSize, kNormalSize);
    processor.SetCamera(camera.Camera());

    auto expectPlainRule = [&](const char* when) {
        ASSERT_EQ(processor.Acquire(), 1) << when;
        Bytes expected(kFrameBytes);
        CFrameProcessor::Correct(*processor.CurrentGainTable(), expected.data(), frame.data(),
                                 processor.CalibrationImage(), processor.Offset());
        CFrameProcessor::FillFovea(expected.data());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), processor.FramePlane(0))) << when;
    };
    expectPlainRule("first frame");
    processor.Configure(0, -40, 320, 320, 2, kNormalSize, kNormalSize);
    expectPlainRule("after a new offset");
    ASSERT_EQ(processor.Calibrate(), 1);
    expectPlainRule("after a calibration");
}

}  // namespace
