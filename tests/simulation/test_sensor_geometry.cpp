#include <gtest/gtest.h>
#include <cmath>
#include <vector>

#include "processing/FrameProcessor.h"
#include "sensor/FoveaTable.h"
#include "sensor/RemapTable.h"
#include "simulation/SensorGeometry.h"

namespace {

struct Canvas {
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(kCanvasPixels, 0);
    SceneCanvas View() const { return {{pixels.data(), pixels.data(), pixels.data()}}; }
    std::uint8_t& At(int x, int y) { return pixels[std::size_t(y) * kCanvasSize + x]; }
};

bool IsPhysicalRaw(int sector, int ring) {
    if (ring >= kFoveaRings) {
        return true;
    }
    for (int s = 0; s < 6 * ring; ++s) {
        if (FoveaTable()[FoveaIndex(s, ring)] == sector) {
            return true;
        }
    }
    return false;
}

// The simulated frame as the processing shows it: fovea gathered, remapped at 512.
std::vector<std::uint8_t> SampleAndRemap(const Canvas& canvas) {
    std::vector<std::uint8_t> frame(kFrameBytes);
    CSensorGeometry::Instance().Sample(canvas.View(), false, frame.data());
    CFrameProcessor::FillFovea(frame.data());
    std::vector<std::uint8_t> picture(kRemapTableEntries, 0);
    for (std::size_t i = 0; i < kRemapTableEntries; ++i) {
        if (RemapTable()[i] != kNoSource) {
            picture[i] = frame[RemapTable()[i]];
        }
    }
    return picture;
}

class FlatScene : public ::testing::TestWithParam<int> {};

// Catches a mean that is off by rounding (or by a wrong pixel count) and samples the
// sensor does not have being filled.
TEST_P(FlatScene, EverySampleIsTheSceneLevelExactly) {
    Canvas canvas;
    std::fill(canvas.pixels.begin(), canvas.pixels.end(), std::uint8_t(GetParam()));
    std::vector<std::uint8_t> frame(kFrameBytes, 99);
    CSensorGeometry::Instance().Sample(canvas.View(), false, frame.data());
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 0; ring < kRings; ++ring) {
            int expected = IsPhysicalRaw(sector, ring) ? GetParam() : 0;
            ASSERT_EQ(frame[FrameIndex(sector, ring)], expected) << sector << "," << ring;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, FlatScene, ::testing::Values(0, 1, 77, 128, 254, 255));

// Catches a mirrored or rotated geometry: a bright right half must come out on the right.
TEST(SensorGeometry, BrightRightHalfStaysOnTheRight) {
    Canvas canvas;
    for (int y = 0; y < kCanvasSize; ++y) {
        for (int x = kCanvasSize / 2; x < kCanvasSize; ++x) {
            canvas.At(x, y) = 255;
        }
    }
    std::vector<std::uint8_t> picture = SampleAndRemap(canvas);
    for (int y = 0; y < kCanvasSize; ++y) {
        for (int x = 0; x < kCanvasSize; ++x) {
            std::size_t i = std::size_t(y) * kCanvasSize + x;
            if (RemapTable()[i] == kNoSource || RemapTable()[i] == 0) {
                continue;
            }
            if (x >= 264) {
                ASSERT_EQ(picture[i], 255) << x << "," << y;
            } else if (x <= 248) {
                ASSERT_EQ(picture[i], 0) << x << "," << y;
            }
        }
    }
}

// Catches fovea samples placed at the wrong raw sectors (the fill would scramble them)
// and cells averaged over the wrong area: remapping a simulated frame of a smooth scene
// reproduces the scene everywhere, fovea included.
TEST(SensorGeometry, RemappedFrameReproducesTheScene) {
    Canvas canvas;
    for (int y = 0; y < kCanvasSize; ++y) {
        for (int x = 0; x < kCanvasSize; ++x) {
            canvas.At(x, y) = std::uint8_t((x + y) / 4);
        }
    }
    std::vector<std::uint8_t> picture = SampleAndRemap(canvas);
    for (int y = 0; y < kCanvasSize; ++y) {
        for (int x = 0; x < kCanvasSize; ++x) {
            std::size_t i = std::size_t(y) * kCanvasSize + x;
            std::uint16_t entry = RemapTable()[i];
            if (entry == kNoSource || entry % kRings == 0) {
                continue;  // outside the disc, or the centre, which has no pixel
            }
            ASSERT_NEAR(picture[i], canvas.At(x, y), 3) << x << "," << y;
        }
    }
}

// Catches a fovea pixel that remaps to something else than the scene under it, with a
// scene whose every fovea pixel differs from its neighbours.
TEST(SensorGeometry, FoveaPixelsLandWhereTheSceneIs) {
    Canvas canvas;
    for (int y = 236; y < 276; ++y) {
        for (int x = 236; x < 276; ++x) {
            canvas.At(x, y) = std::uint8_t(x * 5 + y * 3);
        }
    }
    std::vector<std::uint8_t> picture = SampleAndRemap(canvas);
    int checked = 0;
    for (int y = 236; y < 276; ++y) {
        for (int x = 236; x < 276; ++x) {
            std::size_t i = std::size_t(y) * kCanvasSize + x;
            std::uint16_t entry = RemapTable()[i];
            int ring = entry % kRings;
            if (ring == 0 || ring >= kFoveaRings) {
                continue;
            }
            // A cell shown by this one pixel only must show exactly its scene value.
            std::uint32_t rawIndex =
                std::uint32_t(FrameIndex(FoveaTable()[FoveaIndex(entry / kRings, ring)], ring));
            if (CSensorGeometry::Instance().PixelCount(rawIndex) == 1) {
                ASSERT_EQ(picture[i], canvas.At(x, y)) << x << "," << y;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100);
}

// Catches mosaic colours taken from the wrong plane: periphery by ring parity and
// sector phase, fovea (compact sectors) by phase.
TEST(SensorGeometry, ColorSamplesSeeTheirMosaicPlane) {
    std::vector<std::uint8_t> blue(kCanvasPixels, 10);
    std::vector<std::uint8_t> green(kCanvasPixels, 20);
    std::vector<std::uint8_t> red(kCanvasPixels, 30);
    SceneCanvas canvas{{blue.data(), green.data(), red.data()}};
    std::vector<std::uint8_t> frame(kFrameBytes);
    CSensorGeometry::Instance().Sample(canvas, true, frame.data());
    EXPECT_EQ(frame[FrameIndex(0, 42)], 20);     // even ring, phase 0: green
    EXPECT_EQ(frame[FrameIndex(1, 42)], 10);     // blue
    EXPECT_EQ(frame[FrameIndex(2, 42)], 30);     // red
    EXPECT_EQ(frame[FrameIndex(0, 43)], 30);     // odd ring, phase 0: red
    EXPECT_EQ(frame[FrameIndex(4, 43)], 20);     // green
    EXPECT_EQ(frame[FrameIndex(251, 151)], 10);  // odd ring, phase 2: blue
    CFrameProcessor::FillFovea(frame.data());
    for (int ring = 1; ring < kFoveaRings; ++ring) {
        for (int sector = 0; sector < 6 * ring; ++sector) {
            static constexpr int kFovea[3] = {20, 10, 30};
            ASSERT_EQ(frame[FrameIndex(sector, ring)], kFovea[sector % 3]) << sector << "," << ring;
        }
    }
}

}  // namespace
