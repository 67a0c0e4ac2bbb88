#include <gtest/gtest.h>
#include <cmath>
#include <filesystem>
#include <vector>

#include "TempDirectory.h"
#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "processing/MonoProcessor.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"
#include "simulation/BuiltInScene.h"
#include "simulation/SimulatedCamera.h"

namespace {

class CFlatScene : public IScene {
  public:
    explicit CFlatScene(std::uint8_t level) : m_pixels(kCanvasPixels, level) {}
    SceneCanvas Render(std::uint64_t) override {
        return {{m_pixels.data(), m_pixels.data(), m_pixels.data()}};
    }

  private:
    std::vector<std::uint8_t> m_pixels;
};

// Catches a signal scale or dark pattern that is not added as documented.
TEST(SimulatedCamera, NoiselessFrameIsDarkPatternPlusScaledScene) {
    SimulationOptions options;
    options.noise = 0;
    CSimulatedCamera camera(std::make_unique<CFlatScene>(255), options);
    std::vector<std::uint8_t> frame(kFrameBytes);
    ASSERT_TRUE(camera.NextFrame(frame.data()));
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = kFoveaRings; ring < kRings; ++ring) {
            std::size_t i = FrameIndex(sector, ring);
            ASSERT_EQ(frame[i], CSimulatedCamera::DarkLevel(i) + CSimulatedCamera::kSignalSpan);
        }
    }
}

// Catches a frozen scene: consecutive frames of the built-in scene must differ (it is
// live), and the noise must stay within its amplitude on a covered lens.
TEST(SimulatedCamera, BuiltInSceneMovesAndDarkFramesStayNearThePattern) {
    CSimulatedCamera live(std::make_unique<CBuiltInScene>(false), SimulationOptions{});
    std::vector<std::uint8_t> first(kFrameBytes);
    std::vector<std::uint8_t> second(kFrameBytes);
    live.NextFrame(first.data());
    live.NextFrame(second.data());
    int changed = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        changed += std::abs(first[i] - second[i]) > 3;
    }
    EXPECT_GT(changed, 500);

    SimulationOptions dark;
    dark.dark = true;
    CSimulatedCamera covered(std::make_unique<CBuiltInScene>(false), dark);
    covered.NextFrame(first.data());
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        ASSERT_LE(std::abs(first[i] - CSimulatedCamera::DarkLevel(i)), 1) << i;
    }
}

// Catches a dark pattern that a calibration from the dark source does not remove: the
// calibration must match the pattern, and a corrected dark frame must be flat.
TEST(SimulatedCamera, CalibrationFromTheDarkSourceRemovesTheDarkPattern) {
    CTempDirectory dir;
    std::string error;
    std::shared_ptr<IDeviceResolver> previous = CurrentDeviceResolver();
    ASSERT_TRUE(SelectCameraSource("sim,dark,fps=0", &error)) << error;
    CPortCamera camera;
    ASSERT_EQ(camera.Open(1), 1);
    CMonoProcessor processor;
    processor.SetCalibrationPath(dir.File("calimage.data"));
    processor.Configure(0, 0, 320, 320, 1, kNormalSize, kNormalSize);
    processor.SetCamera(&camera);
    ASSERT_EQ(processor.Calibrate(), 1);
    const std::int32_t* calibration = processor.CalibrationImage();
    int spreadBefore = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        ASSERT_LE(std::abs(calibration[i] - CSimulatedCamera::DarkLevel(i)), 1) << i;
        spreadBefore = std::max(spreadBefore, int(CSimulatedCamera::DarkLevel(i)));
    }
    EXPECT_GE(spreadBefore, 8);
    std::vector<std::uint8_t> frame(kFrameBytes);
    ASSERT_EQ(camera.ReadFrame(frame.data()), 1);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        ASSERT_LE(std::abs(frame[i] - calibration[i]), 2) << i;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.File("calimage.data")));
    SetDeviceResolver(previous);
}

// The first three frames of the plain simulated cameras, as they were before the response
// options came: frames without them must stay byte for byte the same.
std::uint64_t HashOfFirstFrames(const SimulationOptions& options) {
    CSimulatedCamera camera(std::make_unique<CBuiltInScene>(options.color), options);
    std::vector<std::uint8_t> frame(kFrameBytes);
    std::uint64_t hash = 1469598103934665603u;  // FNV-1a
    for (int k = 0; k < 3; ++k) {
        camera.NextFrame(frame.data());
        for (std::uint8_t byte : frame) {
            hash = (hash ^ byte) * 1099511628211u;
        }
    }
    return hash;
}

TEST(SimulatedCamera, FramesWithoutResponseOptionsAreUnchanged) {
    SimulationOptions mono;
    EXPECT_EQ(HashOfFirstFrames(mono), 0x1f559a05e63f9652u);
    SimulationOptions color;
    color.color = true;
    EXPECT_EQ(HashOfFirstFrames(color), 0x888d8b9826feadf4u);
    std::string error;
    CameraSourceChoice choice;
    ASSERT_TRUE(ParseCameraSource("sim,prnu=0,vignetting=0", &choice, &error)) << error;
    EXPECT_EQ(HashOfFirstFrames(choice.simulation), 0x1f559a05e63f9652u);
}

// Catches a response pattern that is not the documented one, changes between runs, or a
// fall-off that darkens the centre instead of the edge.
TEST(SimulatedCamera, ResponseOptionsScaleEachCellsSignal) {
    CameraSourceChoice choice;
    std::string error;
    ASSERT_TRUE(ParseCameraSource("sim,prnu=0.05,vignetting=0.3,noise=0", &choice, &error))
        << error;
    std::vector<std::uint8_t> frame(kFrameBytes);
    std::vector<std::uint8_t> again(kFrameBytes);
    CSimulatedCamera(std::make_unique<CFlatScene>(255), choice.simulation).NextFrame(frame.data());
    CSimulatedCamera(std::make_unique<CFlatScene>(255), choice.simulation).NextFrame(again.data());
    EXPECT_EQ(frame, again);
    double deviationSquares = 0;
    int cells = 0;
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = kFoveaRings; ring < kRings; ++ring) {
            const std::size_t i = FrameIndex(sector, ring);
            const double middle = (RingInnerRadius(ring) + RingOuterRadius(ring)) / 2;
            const double rho = middle / RingOuterRadius(kRings - 1);
            const double lens = 1 - 0.3 * rho * rho;
            const double response = CSimulatedCamera::Response(i, 0.05, 0.3);
            const int signal = frame[i] - CSimulatedCamera::DarkLevel(i);
            ASSERT_LE(std::abs(signal - std::floor(30 * response + 0.5)), 1) << i;
            const double deviation = response / lens - 1;
            ASSERT_LE(std::abs(deviation), 0.05 + 1e-12) << i;
            deviationSquares += deviation * deviation;
            ++cells;
        }
    }
    // Uniform over +-5 %: a standard deviation of 0.05 / sqrt(3).
    EXPECT_NEAR(std::sqrt(deviationSquares / cells), 0.05 / std::sqrt(3.0), 0.002);
    const auto signalAt = [&](int ring) {
        const std::size_t i = FrameIndex(0, ring);
        return frame[i] - CSimulatedCamera::DarkLevel(i);
    };
    EXPECT_GT(signalAt(kFoveaRings), signalAt(kRings - 1) + 6);  // 30 at the centre, 21 at the edge
}

}  // namespace
