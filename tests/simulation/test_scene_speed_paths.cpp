// The simulation's fast paths against the rules they stand for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "sensor/LogPolarFrame.h"
#include "simulation/BuiltInScene.h"
#include "simulation/SimulatedCamera.h"
#include "simulation/StarPaint.h"

namespace {

class StarRowLength : public ::testing::TestWithParam<int> {};

// Catches segments looked up in the wrong half of the paint table, lanes stored out of
// order, and a tail after the last whole vector left unpainted or overrun: every turn a
// frame can take, one to three planes.
TEST_P(StarRowLength, EveryPixelShowsItsSegmentsPaint) {
    const int count = GetParam();
    std::vector<std::uint16_t> angles(std::size_t(count) + 1);
    for (int x = 0; x <= count; ++x) {
        angles[std::size_t(x)] = std::uint16_t((x * 131 + 7) % 4096);
    }
    std::array<SegmentPaints, 3> paints{};
    for (int p = 0; p < 3; ++p) {
        for (int s = 0; s < 32; ++s) {
            paints[std::size_t(p)][std::size_t(s)] = std::uint8_t(s * 7 + p * 64 + 1);
        }
    }
    for (unsigned turn = 0; turn < 4096; turn += 8) {
        for (int planes = 1; planes <= 3; ++planes) {
            std::vector<std::vector<std::uint8_t>> rows(3, std::vector<std::uint8_t>(count + 1, 0));
            std::uint8_t* pRows[3] = {rows[0].data(), rows[1].data(), rows[2].data()};
            PaintStarRow(angles.data(), count, turn, paints.data(), pRows, planes);
            for (int p = 0; p < 3; ++p) {
                for (int x = 0; x < count; ++x) {
                    const unsigned segment = ((angles[std::size_t(x)] + turn) >> 7) & 31;
                    const std::uint8_t expected = p < planes ? paints[std::size_t(p)][segment] : 0;
                    ASSERT_EQ(rows[std::size_t(p)][std::size_t(x)], expected)
                        << "turn " << turn << " plane " << p << " x " << x;
                }
                ASSERT_EQ(rows[std::size_t(p)][std::size_t(count)], 0) << "wrote past the row";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, StarRowLength, ::testing::Values(0, 1, 31, 32, 33, 64, 299));

// Catches a band copied with the wrong scroll, a column lost or doubled where the scroll
// wraps, or band left unpainted beside the star: away from the ball, every pixel outside
// the star moves two columns left from one frame to the next.
TEST(BuiltInScene, BandScrollsTwoColumnsAFrameAroundTheStar) {
    for (bool color : {false, true}) {
        CBuiltInScene scene(color);
        for (std::uint64_t frame : {0u, 100u, 255u}) {
            std::vector<std::vector<std::uint8_t>> before(3);
            const SceneCanvas first = scene.Render(frame);
            for (int p = 0; p < 3; ++p) {
                before[std::size_t(p)].assign(first.plane[p], first.plane[p] + kCanvasPixels);
            }
            const SceneCanvas next = scene.Render(frame + 1);
            auto nearBall = [&](int x, int y) {
                for (std::uint64_t f : {frame, frame + 1}) {
                    const double phase = double(f) * 0.05;
                    const double dx = x - (256 + 170 * std::cos(phase));
                    const double dy = y - (256 - 170 * std::sin(phase));
                    if (dx * dx + dy * dy < 24 * 24) {
                        return true;
                    }
                }
                return false;
            };
            int checked = 0;
            for (int y = 0; y < kCanvasSize; ++y) {
                for (int x = 0; x < kCanvasSize; ++x) {
                    const int from = (x + 2) % kCanvasSize;
                    const double r1 = std::hypot(x - 256.0, 256.0 - y);
                    const double r0 = std::hypot(from - 256.0, 256.0 - y);
                    if (r1 < 152 || r0 < 152 || nearBall(x, y) || nearBall(from, y)) {
                        continue;
                    }
                    for (int p = 0; p < 3; ++p) {
                        ASSERT_EQ(next.plane[p][std::size_t(y) * kCanvasSize + std::size_t(x)],
                                  before[std::size_t(p)]
                                        [std::size_t(y) * kCanvasSize + std::size_t(from)])
                            << "colour " << color << " frame " << frame << " at " << x << "," << y
                            << " plane " << p;
                    }
                    ++checked;
                }
            }
            EXPECT_GT(checked, 150000);
        }
    }
}

// Catches noise read from the same place every frame (a frozen pattern), noise beyond its
// amplitude, or noise with a bias: a flat grey scene, frame after frame.
TEST(SimulatedCamera, NoiseVariesFromFrameToFrameWithinItsAmplitude) {
    class CFlat : public IScene {
      public:
        SceneCanvas Render(std::uint64_t) override {
            return {{m_pixels.data(), m_pixels.data(), m_pixels.data()}};
        }
        std::vector<std::uint8_t> m_pixels = std::vector<std::uint8_t>(kCanvasPixels, 128);
    };
    SimulationOptions quiet;
    quiet.noise = 0;
    std::vector<std::uint8_t> clean(kFrameBytes);
    CSimulatedCamera(std::make_unique<CFlat>(), quiet).NextFrame(clean.data());

    SimulationOptions noisy;
    noisy.noise = 5;
    CSimulatedCamera camera(std::make_unique<CFlat>(), noisy);
    std::vector<std::uint8_t> first(kFrameBytes);
    std::vector<std::uint8_t> second(kFrameBytes);
    camera.NextFrame(first.data());
    camera.NextFrame(second.data());
    long long total = 0;
    int differing = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const int deviation = int(first[i]) - int(clean[i]);
        ASSERT_LE(std::abs(deviation), 5) << i;
        total += deviation;
        differing += first[i] != second[i];
    }
    EXPECT_LT(std::abs(double(total) / double(kFrameBytes)), 0.2);
    EXPECT_GT(differing, int(kFrameBytes) / 2);
}

}  // namespace
