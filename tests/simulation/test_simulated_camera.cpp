#include <gtest/gtest.h>
#include <filesystem>
#include <vector>

#include "TempDirectory.h"
#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "processing/MonoProcessor.h"
#include "sensor/LogPolarFrame.h"
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

}  // namespace
