// A frame handed to the processor must come out exactly as the same frame read from the
// camera link: export, convert and the Python module rely on the two roads agreeing.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "ProcessingTestSupport.h"
#include "processing/ProcessorFactory.h"

namespace {

struct PictureBytes {
    std::vector<std::uint8_t> remapped;
    std::vector<std::uint8_t> unmapped;
    HistogramCounts counts{};
};

PictureBytes Pictures(CFrameProcessor& processor, int size) {
    PictureBytes bytes;
    bytes.unmapped.resize(kFrameBytes * 3);
    processor.RawToRgb(bytes.unmapped.data());
    processor.Remap();
    bytes.remapped.resize(std::size_t(size) * size * 3);
    processor.RemappedToRgb(bytes.remapped.data());
    processor.Histogram(bytes.counts);
    return bytes;
}

class FrameRoad : public ::testing::TestWithParam<std::tuple<bool, int>> {};

// Catches a handed frame processed differently from a read one (a step skipped, the
// colour reconstruction or the fovea fill left out, a stale frame shown).
TEST_P(FrameRoad, HandedFrameGivesTheBytesOfAnAcquiredOne) {
    const auto [color, size] = GetParam();
    const std::vector<FrameBytes> frames = {RandomBytes(kFrameBytes, 1),
                                            RandomBytes(kFrameBytes, 2)};
    ProcessorSettings settings;
    settings.color = color;
    settings.size = size;
    settings.calibration.clear();

    CTestCamera camera(frames);
    ASSERT_TRUE(camera.IsOpen());
    auto acquired = MakeConfiguredProcessor(settings);
    acquired->SetCamera(camera.Camera());
    auto handed = MakeConfiguredProcessor(settings);
    for (const FrameBytes& frame : frames) {
        ASSERT_EQ(acquired->Acquire(), 1);
        ASSERT_TRUE(handed->TakeFrame(frame.data()));
        const PictureBytes expected = Pictures(*acquired, size);
        const PictureBytes actual = Pictures(*handed, size);
        EXPECT_EQ(actual.remapped, expected.remapped);
        EXPECT_EQ(actual.unmapped, expected.unmapped);
        EXPECT_EQ(0, std::memcmp(actual.counts, expected.counts, sizeof(HistogramCounts)));
    }
}

INSTANTIATE_TEST_SUITE_P(SensorsAndSizes, FrameRoad,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(kNormalSize, kZoomedSize)));

// Catches a frame taken into an unconfigured processor (no buffers yet): it must be
// refused, not written through a null buffer.
TEST(FrameRoadRefusal, UnconfiguredProcessorRefusesAFrame) {
    const FrameBytes frame = RandomBytes(kFrameBytes, 3);
    EXPECT_FALSE(MakeFrameProcessor(false)->TakeFrame(frame.data()));
    EXPECT_FALSE(MakeFrameProcessor(true)->TakeFrame(frame.data()));
}

}  // namespace
