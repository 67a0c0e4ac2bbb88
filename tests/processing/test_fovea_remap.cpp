#include <gtest/gtest.h>

#include <random>

#include "ProcessingTestSupport.h"
#include "processing/MonoProcessor.h"
#include "sensor/FoveaTable.h"
#include "sensor/RemapTable.h"

namespace {

// A processor configured for one size, used only for its remap steps.
class RemapTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        m_processor.SetCalibrationPath("/nonexistent/calimage.data");
        m_processor.Configure(0, 80, 320, 320, 3, GetParam(), GetParam());
    }
    int Size() const { return GetParam(); }

    // The walk exactly as the rule states it: one cursor, two entries per pixel at 256 and
    // a whole table row skipped after each output row.
    void PlainRemap(const std::uint8_t* pSource, std::uint8_t* pOut, int bytesPerPixel) const {
        const std::uint16_t* pCursor = RemapTable();
        const int pixels = Size() * Size();
        for (int i = 0; i < pixels; ++i) {
            const std::uint16_t e = *pCursor;
            if (e != kNoSource) {
                for (int b = 0; b < bytesPerPixel; ++b) {
                    pOut[i * bytesPerPixel + b] = pSource[e * bytesPerPixel + b];
                }
            }
            if (Size() == 512) {
                pCursor += 1;
            } else {
                pCursor += 2;
                if ((i + 1) % Size() == 0) {
                    pCursor += Size() * 2;
                }
            }
        }
    }

    CMonoProcessor m_processor;
};

// Catches the run-based walk differing from the plain table walk in any byte (grey).
TEST_P(RemapTest, GreyRunsGiveTheSameBytesAsThePlainWalk) {
    const std::size_t pixels = std::size_t(Size()) * Size();
    for (unsigned seed : {1u, 2u}) {
        const auto source = RandomBytes(kFrameBytes, seed);
        const auto initial = RandomBytes(pixels, seed + 100);
        auto expected = initial;
        auto actual = initial;
        PlainRemap(source.data(), expected.data(), 1);
        m_processor.RemapGrey(source.data(), actual.data());
        ASSERT_EQ(actual, expected) << "seed " << seed;
    }
}

// Catches the same for the three-byte remap, byte order within a pixel included.
TEST_P(RemapTest, RgbRunsGiveTheSameBytesAsThePlainWalk) {
    const std::size_t pixels = std::size_t(Size()) * Size();
    const auto source = RandomBytes(kColorFrameBytes, 7);
    const auto initial = RandomBytes(pixels * 3, 8);
    auto expected = initial;
    auto actual = initial;
    PlainRemap(source.data(), expected.data(), 3);
    m_processor.RemapRgb(source.data(), actual.data());
    EXPECT_EQ(actual, expected);
}

// Catches a remap that writes outside the disc: pixel (0, 0) keeps its value for ever.
TEST_P(RemapTest, PixelsWithoutSourceKeepTheirValue) {
    std::vector<std::uint8_t> out(std::size_t(Size()) * Size(), 99);
    for (int pass = 0; pass < 3; ++pass) {
        m_processor.RemapGrey(RandomBytes(kFrameBytes, pass).data(), out.data());
    }
    EXPECT_EQ(out[0], 99);
    EXPECT_EQ(out[std::size_t(Size()) - 1], 99);
    EXPECT_EQ(out.back(), 99);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RemapTest, ::testing::Values(256, 512));

// Catches a 256 walk that does not take even rows and columns.
TEST(RemapWalk, Normal256UsesEvenRowsAndColumns) {
    CMonoProcessor processor;
    processor.SetCalibrationPath("/nonexistent/calimage.data");
    processor.Configure(0, 80, 320, 320, 3, 256, 256);
    std::vector<std::uint8_t> frame(kFrameBytes, 0);
    frame[4] = 77;
    frame[0] = 33;
    std::vector<std::uint8_t> out(65536, 1);
    processor.RemapGrey(frame.data(), out.data());
    EXPECT_EQ(out[128 * 256 + 129], 77);
    EXPECT_EQ(out[128 * 256 + 128], 33);
}

// Catches the 512 walk starting at the wrong entry or row.
TEST(RemapWalk, Zoomed512ShowsRingTwoSectorsZeroAndThree) {
    CMonoProcessor processor;
    processor.SetCalibrationPath("/nonexistent/calimage.data");
    processor.Configure(0, 80, 320, 320, 3, 512, 512);
    std::vector<std::uint8_t> frame(kFrameBytes, 0);
    frame[2] = 21;
    frame[458] = 45;
    std::vector<std::uint8_t> out(kZoomedPixelCount, 1);
    processor.RemapGrey(frame.data(), out.data());
    EXPECT_EQ(out[256 * 512 + 257], 21);
    EXPECT_EQ(out[255 * 512 + 256], 45);
}

// Catches a fill that gathers the wrong sectors, in the wrong order, or leaves stale samples
// behind: every raw fovea sample holds its own sector number, so after the fill ring r must
// list the sectors of its six groups of r around the spokes, ascending, then 128. The
// lists are written out by hand from the layout, not taken from the table.
TEST(FoveaFill, RingsListTheirSpokeSectorsAscendingThen128) {
    std::vector<std::uint8_t> frame(kFrameBytes, 7);
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kFoveaRings; ++r) {
            frame[FrameIndex(s, r)] = std::uint8_t(s);
        }
    }
    CFrameProcessor::FillFovea(frame.data());
    const auto ring = [&](int r, int count) {
        std::vector<int> samples;
        for (int s = 0; s < count; ++s) {
            samples.push_back(frame[FrameIndex(s, r)]);
        }
        return samples;
    };
    EXPECT_EQ(ring(0, 3), (std::vector<int>{128, 128, 128}));
    EXPECT_EQ(ring(1, 7), (std::vector<int>{0, 42, 84, 126, 168, 210, 128}));
    EXPECT_EQ(ring(2, 13),
              (std::vector<int>{0, 1, 42, 43, 84, 85, 126, 127, 168, 169, 210, 211, 128}));
    EXPECT_EQ(ring(3, 19), (std::vector<int>{0, 1, 41, 42, 43, 83, 84, 85, 125, 126, 127, 167, 168,
                                             169, 209, 210, 211, 251, 128}));
    EXPECT_EQ(frame[FrameIndex(251, 41)], 128);
    EXPECT_EQ(frame[FrameIndex(100, kFoveaRings)], 7);  // the periphery is not touched
}

class OddPixelCount : public ::testing::TestWithParam<std::pair<int, int>> {};

// Catches a remap that runs its cursor past the table for a size it was not built for.
TEST_P(OddPixelCount, RemapIsRefused) {
    const auto [width, height] = GetParam();
    CMonoProcessor processor;
    processor.SetCalibrationPath("/nonexistent/calimage.data");
    processor.Configure(0, 80, 320, 320, 3, width, height);
    ASSERT_TRUE(processor.IsConfigured());
    std::vector<std::uint8_t> out(std::size_t(width) * height, 5);
    processor.RemapGrey(std::vector<std::uint8_t>(kFrameBytes, 200).data(), out.data());
    EXPECT_EQ(std::count(out.begin(), out.end(), 5), long(out.size()));
    processor.Remap();  // through the processor's own planes: nothing to crash
}

INSTANTIATE_TEST_SUITE_P(Sizes, OddPixelCount,
                         ::testing::Values(std::pair{1024, 1024}, std::pair{128, 128},
                                           std::pair{512, 256}, std::pair{640, 480}));

// Catches a fill that does not gather the spokes of ring 1 into sectors 0..5.
TEST(FillFovea, RingOneGathersItsSixSpokes) {
    std::vector<std::uint8_t> frame(kFrameBytes, 3);
    const int spokes[] = {0, 42, 84, 126, 168, 210};
    for (int k = 0; k < 6; ++k) {
        frame[FrameIndex(spokes[k], 1)] = std::uint8_t(10 * (k + 1));
    }
    CFrameProcessor::FillFovea(frame.data());
    for (int s = 0; s < kSectors; ++s) {
        EXPECT_EQ(frame[FrameIndex(s, 1)], s < 6 ? 10 * (s + 1) : 128) << "sector " << s;
        EXPECT_EQ(frame[FrameIndex(s, 0)], 128) << "ring 0 sector " << s;
    }
}

// Catches gathering from already-overwritten samples, or touching the periphery.
TEST(FillFovea, EveryRingGathersFromTheFrameAsItWas) {
    const auto before = RandomBytes(kFrameBytes, 11);
    auto frame = before;
    CFrameProcessor::FillFovea(frame.data());
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kRings; ++r) {
            std::uint8_t expected = before[FrameIndex(s, r)];
            if (r < kFoveaRings) {
                const std::int32_t t = FoveaTable()[FoveaIndex(s, r)];
                expected = t == kNoFoveaSector ? 128 : before[FrameIndex(t, r)];
            }
            ASSERT_EQ(frame[FrameIndex(s, r)], expected) << "sector " << s << " ring " << r;
        }
    }
}

}  // namespace
