// The viewer against a camera that stops answering: every command must answer at once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "camera/PortCamera.h"
#include "platform/device/DeviceTimeout.h"
#include "platform/device/FileDevice.h"
#include "platform/device/MemoryDevice.h"
#include "processing/MonoProcessor.h"
#include "tests/ThreadState.h"
#include "tests/viewer/ViewerFakes.h"
#include "tests/viewer/ViewerTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kFramesBeforeStall = 3;
// A stalled read here waits two minutes for its deadline. A command that answers at once
// takes milliseconds however loaded the machine; one that waits out the read takes all of
// it, and fails this bound.
constexpr milliseconds kStalledReadDeadline{120000};
constexpr milliseconds kAnswerWithin{30000};

// A core with real processors on a camera link to device 1 of the resolver given.
class CameraViewer {
  public:
    CameraViewer(std::shared_ptr<IDeviceResolver> resolver, const TempFolder& folder)
        : m_pPrevious(SetDeviceResolver(std::move(resolver))),
          m_core(m_surface, m_window, MakeFactory(folder.File("calimage.data")),
                 std::make_unique<CPortCamera>()) {
        m_core.SetTimingPath(folder.File("time.inf"));
        m_core.OnInitDialog();
    }
    ~CameraViewer() { SetDeviceResolver(m_pPrevious); }

    CViewerCore& Core() { return m_core; }
    CFakeWindow& Window() { return m_window; }

  private:
    static ProcessorFactory MakeFactory(std::string calibration) {
        return [calibration](bool) {
            auto processor = std::make_unique<CMonoProcessor>();
            processor->SetCalibrationPath(calibration);
            return std::unique_ptr<CFrameProcessor>(std::move(processor));
        };
    }

    std::shared_ptr<IDeviceResolver> m_pPrevious;
    CRecordingSurface m_surface;
    CFakeWindow m_window;
    CViewerCore m_core;
};

std::shared_ptr<IDeviceResolver> StallingCamera() {
    auto resolver = std::make_shared<CMemoryDeviceResolver>();
    MemoryDeviceScript script{{UniformFrame(100)}, true, {}};
    script.faults.stallAfterFrames = kFramesBeforeStall;
    resolver->SetDevice(1, script);
    return resolver;
}

class StalledCamera : public ::testing::Test {
  protected:
    void SetUp() override { SetDeviceReadTimeout(kStalledReadDeadline); }
    void TearDown() override {
        m_pViewer.reset();
        SetDeviceReadTimeout(kDefaultReadTimeout);
    }
    // The viewer on a camera that stops answering after kFramesBeforeStall frames.
    CameraViewer& Viewer() {
        if (!m_pViewer) {
            m_pViewer = std::make_unique<CameraViewer>(StallingCamera(), m_folder);
        }
        return *m_pViewer;
    }
    // Starts, and returns once the worker waits in the stalled read.
    void StartThenStall() {
        CViewerCore& core = Viewer().Core();
        core.OnStart();
        ASSERT_TRUE(WaitUntil([&] { return core.FramesDone() == kFramesBeforeStall; }));
        ASSERT_TRUE(WaitUntil(OtherThreadsAsleep));
    }

    TempFolder m_folder;
    std::unique_ptr<CameraViewer> m_pViewer;
};

struct StopCommand {
    const char* name;
    void (*run)(CViewerCore&);
};

void PrintTo(const StopCommand& c, std::ostream* os) {
    *os << c.name;
}

class StopDuringStall : public StalledCamera, public ::testing::WithParamInterface<StopCommand> {};

// Catches a command that waits for the worker while it sits in a read of a silent camera
// (the window froze for seconds), and a cancelled read taken for a camera failure.
TEST_P(StopDuringStall, AnswersAtOnce) {
    ASSERT_NO_FATAL_FAILURE(StartThenStall());
    CViewerCore& core = Viewer().Core();
    const auto start = Clock::now();
    GetParam().run(core);
    EXPECT_LT(Clock::now() - start, kAnswerWithin);
    core.RefreshFrameRate();
    EXPECT_EQ(Viewer().Window().statusPane1.find("Camera lost"), std::string::npos)
        << Viewer().Window().statusPane1;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, StopDuringStall,
    ::testing::Values(StopCommand{"Start", [](CViewerCore& c) { c.OnStart(); }},
                      StopCommand{"Grab", [](CViewerCore& c) { c.OnGrab(); }},
                      StopCommand{"Zoom", [](CViewerCore& c) { c.OnZoom(); }},
                      StopCommand{"Remap", [](CViewerCore& c) { c.OnRemap(); }},
                      StopCommand{"Settings", [](CViewerCore& c) { c.OnSettings(); }},
                      StopCommand{"Exit", [](CViewerCore& c) { c.OnDestroy(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a stop that cancels a read ending as a failure: it must leave the viewer Paused
// with the frames done in the timing report.
TEST_F(StalledCamera, StopEndsPausedWithTheFramesDone) {
    ASSERT_NO_FATAL_FAILURE(StartThenStall());
    CViewerCore& core = Viewer().Core();
    core.OnStart();
    EXPECT_EQ(core.IsStarted(), 1);
    EXPECT_EQ(core.IsRunning(), 0);
    const std::string report = ReadWhole(m_folder.File("time.inf"));
    EXPECT_NE(report.find("Frames = 3"), std::string::npos) << report;
    core.OnStart();  // and the camera reads again after the cancel
    EXPECT_TRUE(WaitUntil([&] { return core.IsRunning() == 1; }));
}

// Catches a second program on the camera failing silently: the operator is told it is busy.
TEST_F(StalledCamera, BusyCameraIsNamedInTheStatusBar) {
    const std::string device = m_folder.File("lptsimple1");
    { std::ofstream(device) << "frames"; }
    auto holder = CFileDevice::Open(device);
    ASSERT_TRUE(holder);
    CameraViewer viewer(std::make_shared<CFileDeviceResolver>(m_folder.Path()), m_folder);
    viewer.Core().OnStart();
    ASSERT_TRUE(WaitUntil([&] { return viewer.Core().IsRunning() == 0; }));
    viewer.Core().RefreshFrameRate();
    EXPECT_EQ(viewer.Window().statusPane1,
              "camera busy: " + device + " is in use by another program");
}

// Catches a dark-image file of the wrong length applied silently as a partial dark image.
TEST_F(StalledCamera, WrongCalibrationFileIsToldInTheStatusBar) {
    { std::ofstream(m_folder.File("calimage.data")) << "abc"; }
    Viewer().Core().RefreshFrameRate();
    EXPECT_NE(Viewer().Window().statusPane1.find("calimage.data holds 3 bytes"), std::string::npos)
        << Viewer().Window().statusPane1;
}

// Catches a timing report that cannot be written going unnoticed.
TEST_F(StalledCamera, UnwritableTimingReportIsToldInTheStatusBar) {
    std::filesystem::create_directory(m_folder.File("time.inf"));
    CViewerCore& core = Viewer().Core();
    core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return core.FramesDone() >= 1; }));
    core.OnStart();
    core.RefreshFrameRate();
    EXPECT_NE(Viewer().Window().statusPane1.find("it is a directory"), std::string::npos)
        << Viewer().Window().statusPane1;
}

}  // namespace
