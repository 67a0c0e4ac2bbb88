#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <vector>

#include "ProcessingTestSupport.h"
#include "processing/CalibrationFile.h"
#include "processing/FlatField.h"
#include "processing/MonoProcessor.h"
#include "sensor/SampleGeometry.h"

namespace {

// The first fovea position without a pixel and a few periphery samples.
std::size_t FirstPositionWithoutPixel() {
    const SampleGeometry& geometry = SensorSampleGeometry();
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        if (!geometry.physical[i]) {
            return i;
        }
    }
    return kFrameBytes;
}

FlatImage EvenFlat(float level) {
    FlatImage flat;
    std::fill(flat.levels.begin(), flat.levels.end(), level);
    flat.frames = 4;
    return flat;
}

// Catches a flat file whose values or header do not come back as written, or a file of
// another kind (a dark image, damaged levels) taken for a flat.
TEST(FlatField, FileRoundTripsAndRefusesWhatIsNoFlat) {
    CScratchDirectory dir;
    FlatImage written = EvenFlat(20.25f);
    written.levels[7] = -1.5f;
    written.levels[8] = 0.0f;
    written.frames = 16;
    ASSERT_TRUE(StoreFlatFile(dir.File("w.flat"), written));
    FlatImage read;
    ASSERT_TRUE(LoadFlatFile(dir.File("w.flat"), &read));
    EXPECT_EQ(read.levels, written.levels);
    EXPECT_EQ(read.frames, 16u);

    std::vector<std::int32_t> dark(kFrameBytes, 3);
    ASSERT_TRUE(StoreCalibrationFile(dir.File("calimage.data"), dark.data()));
    const FileResult darkRead = LoadFlatFile(dir.File("calimage.data"), &read);
    ASSERT_FALSE(darkRead);
    EXPECT_NE(darkRead.Error().find("calimage.data is no flat image"), std::string::npos)
        << darkRead.Error();

    written.levels[100] = std::numeric_limits<float>::quiet_NaN();
    ASSERT_TRUE(StoreFlatFile(dir.File("nan.flat"), written));
    const FileResult nanRead = LoadFlatFile(dir.File("nan.flat"), &read);
    ASSERT_FALSE(nanRead);
    EXPECT_NE(nanRead.Error().find("sample 100"), std::string::npos) << nanRead.Error();
    EXPECT_FALSE(LoadFlatFile(dir.File("missing.flat"), &read));
}

// Catches a flat of 0 or below, or a position without a pixel, dividing by nothing or
// bending the mean; and a rounding other than to nearest with halves up.
TEST(FlatField, ZeroFlatKeepsTheDarkCorrectionAndHalvesRoundUp) {
    FlatImage flat = EvenFlat(30.0f);
    const std::size_t empty = FirstPositionWithoutPixel();
    const std::size_t zero = FrameIndex(10, 100);
    const std::size_t negative = FrameIndex(11, 100);
    const std::size_t faint = FrameIndex(12, 100);
    const std::size_t dim = FrameIndex(13, 100);
    flat.levels[empty] = 1000.0f;  // not a pixel: left out of the mean
    flat.levels[zero] = 0.0f;
    flat.levels[negative] = -2.0f;
    flat.levels[faint] = 0.01f;                                 // would be a factor of 3000
    flat.levels[dim] = 20.0f;                                   // 30 / 20: factor 1.5
    flat.levels[FrameIndex(14, 100)] = 30.0f + 10.0f + 29.99f;  // keeps the mean at 30
    EXPECT_NEAR(FlatMean(flat), 30.0, 1e-3);
    const std::vector<std::int32_t> factors = FlatFactors(flat);
    EXPECT_EQ(factors[empty], kFlatFactorOne);
    EXPECT_EQ(factors[zero], kFlatFactorOne);
    EXPECT_EQ(factors[negative], kFlatFactorOne);
    EXPECT_EQ(factors[faint], kMostFlatFactor);
    EXPECT_EQ(factors[dim], kFlatFactorOne * 3 / 2);

    std::vector<std::uint8_t> raw(kFrameBytes, 40);
    std::vector<std::int32_t> dark(kFrameBytes, 30);
    raw[dim] = 29;  // (29 - 30) x 1.5 = -1.5: up to -1
    std::vector<std::uint8_t> levels(kFrameBytes);
    FlatCorrectedLevels(levels.data(), raw.data(), dark.data(), factors.data());
    EXPECT_EQ(levels[zero], 10);
    EXPECT_EQ(levels[empty], 10);
    EXPECT_EQ(levels[faint], 255);
    raw[dim] = 31;  // 1.5: up to 2
    FlatCorrectedLevels(levels.data(), raw.data(), dark.data(), factors.data());
    EXPECT_EQ(levels[dim], 2);

    GainTable identity{};
    for (int v = 0; v < 256; ++v) {
        identity[std::size_t(v)] = std::uint8_t(v);
    }
    std::vector<std::uint8_t> corrected(kFrameBytes);
    raw[dim] = 29;
    CorrectWithFlat(identity, corrected.data(), raw.data(), dark.data(), factors.data(), 80);
    EXPECT_EQ(corrected[dim], 79);
    EXPECT_EQ(corrected[zero], 90);
}

// Catches the processor applying a flat other than through its correction, or an even flat
// changing any byte of what the dark image alone gives.
TEST(FlatField, EvenFlatGivesThePlainCorrectionsBytes) {
    CScratchDirectory dir;
    std::vector<std::int32_t> dark(kFrameBytes);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        dark[i] = std::int32_t(i % 13);
    }
    ASSERT_TRUE(StoreCalibrationFile(dir.File("calimage.data"), dark.data()));
    std::vector<std::uint8_t> raw = RandomBytes(kFrameBytes, 27);
    const std::size_t darker = FrameIndex(5, 120);
    raw[darker] = std::uint8_t(dark[darker] + 10);  // not saturated with the flat or without
    CMonoProcessor plain;
    CMonoProcessor flattened;
    for (CMonoProcessor* processor : {&plain, &flattened}) {
        processor->SetCalibrationPath(dir.File("calimage.data"));
        processor->Configure(0, 60, 320, 320, 3, kNormalSize, kNormalSize);
    }
    flattened.SetFlatFactors(
        std::make_shared<const std::vector<std::int32_t>>(FlatFactors(EvenFlat(17.5f))));
    ASSERT_TRUE(plain.TakeFrame(raw.data()));
    ASSERT_TRUE(flattened.TakeFrame(raw.data()));
    std::vector<std::uint8_t> plainRgb(std::size_t(kFrameBytes) * 3);
    std::vector<std::uint8_t> flatRgb(plainRgb.size());
    plain.RawToRgb(plainRgb.data());
    flattened.RawToRgb(flatRgb.data());
    EXPECT_EQ(plainRgb, flatRgb);

    // And a flat that is not even does change them.
    FlatImage uneven = EvenFlat(17.5f);
    uneven.levels[darker] = 8.0f;
    flattened.SetFlatFactors(
        std::make_shared<const std::vector<std::int32_t>>(FlatFactors(uneven)));
    ASSERT_TRUE(flattened.TakeFrame(raw.data()));
    flattened.RawToRgb(flatRgb.data());
    EXPECT_NE(plainRgb, flatRgb);
}

}  // namespace
