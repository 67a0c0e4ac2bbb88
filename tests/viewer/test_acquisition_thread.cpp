#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "camera/PortCamera.h"
#include "platform/device/MemoryDevice.h"
#include "resources/Resource.h"
#include "tests/platform/device/ScopedDeviceResolver.h"
#include "tests/viewer/ViewerCoreTestPeer.h"
#include "tests/viewer/ViewerFakes.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/SharedState.h"

namespace {

using ::testing::MatchesRegex;

class AcquisitionThreadTest : public ::testing::Test {
  protected:
    TempFolder folder;
    std::string TimeFile() const { return folder.File("time.inf"); }
};

// Catches a thread that runs a pass although the stop came before its first one.
TEST_F(AcquisitionThreadTest, StopBeforeFirstPassReportsNoFrames) {
    FakeViewer v(folder.Path());
    CViewerCore& core = v.core;
    // The worker reads the clock once before its first pass: hold it there until the stop.
    v.core.SetClock([&core, ui = std::this_thread::get_id()] {
        if (std::this_thread::get_id() != ui) {
            WaitUntil([&] { return CViewerCoreTestPeer::IsStopRequested(core); });
        }
        return std::int64_t{5000};
    });
    v.core.OnStart();
    v.core.OnStart();
    EXPECT_EQ(ReadWhole(TimeFile()), "Time = 0    Frames = 0");
    EXPECT_EQ(v.Processor().AcquireCount(), 0);
}

// Catches a stop that abandons the pass in progress, or that leaves it uncounted or undrawn.
TEST_F(AcquisitionThreadTest, PassInProgressFinishesAndIsCounted) {
    FakeViewer v(folder.Path());
    CViewerCore& core = v.core;
    v.Processor().acquireHook = [&core](int, CFakeProcessor&) {
        WaitUntil([&] { return CViewerCoreTestPeer::IsStopRequested(core); });
        return 1;
    };
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.Processor().AcquireCount() == 1; }));
    v.core.OnStart();
    EXPECT_THAT(ReadWhole(TimeFile()), MatchesRegex("Time = [0-9]+    Frames = 1"));
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.framesDrawn; }), 1);
    const auto calls = v.Processor().Calls();
    EXPECT_EQ(calls.back(), "RemappedToRgb");
}

// Catches frames copied for a screen that cannot show them, or a run that ends with an
// older frame on screen than the last one made (Save would then write another picture).
TEST_F(AcquisitionThreadTest, UnwantedFramesAreSkippedButTheLastIsDrawn) {
    FakeViewer v(folder.Path());
    CViewerCore& core = v.core;
    v.surface.bWantsFrames = false;
    v.Processor().acquireHook = [&core](int call, CFakeProcessor&) {
        if (call == 20) {
            WaitUntil([&] { return CViewerCoreTestPeer::IsStopRequested(core); });
        }
        return 1;
    };
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.Processor().AcquireCount() == 20; }));
    v.core.OnStart();
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.framesDrawn; }), 1);
    const auto lastFrame = v.surface.Read([](auto& s) { return s.frame; });
    ASSERT_FALSE(lastFrame.empty());
    EXPECT_EQ(lastFrame.front(), 20);
    EXPECT_EQ(lastFrame.back(), 20);
}

// Catches a report with the wrong wording, a line end, or time not taken in milliseconds.
TEST_F(AcquisitionThreadTest, ReportTextAtTwentyFiveFramesASecond) {
    FakeViewer v(folder.Path());
    CViewerCore& core = v.core;
    std::atomic<int> clockCalls{0};
    v.core.SetClock([&clockCalls] { return ++clockCalls <= 2 ? 1000 : 3000; });
    v.Processor().acquireHook = [&core](int call, CFakeProcessor&) {
        if (call == 50) {
            WaitUntil([&] { return CViewerCoreTestPeer::IsStopRequested(core); });
        }
        return 1;
    };
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.Processor().AcquireCount() == 50; }));
    v.core.OnStart();
    EXPECT_EQ(ReadWhole(TimeFile()), "Time = 2000    Frames = 50");
}

// Catches a failing camera that leaves the window Running, writes a report, or keeps a frame.
TEST_F(AcquisitionThreadTest, FailingCameraEndsIdleAndKeepsTheEarlierReport) {
    { std::ofstream(TimeFile()) << "Time = 1    Frames = 2"; }
    FakeViewer v(folder.Path());
    v.Processor().acquireHook = [](int call, CFakeProcessor&) { return call < 3 ? 1 : 0; };
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.IsRunning() == 0; }));
    EXPECT_FALSE(CViewerCoreTestPeer::IsThreadActive(v.core));
    EXPECT_EQ(v.core.IsGrabbed(), 0);
    EXPECT_FALSE(CViewerCoreTestPeer::HasFrameShown(v.core));
    EXPECT_FALSE(v.surface.Read([](auto& s) { return s.bFrameShown; }));
    v.core.RefreshFrameRate();
    EXPECT_EQ(v.window.statusPane1, "Camera lost after 2 frames");
    v.core.StopAcquisition();  // joins the ended thread
    EXPECT_EQ(ReadWhole(TimeFile()), "Time = 1    Frames = 2");
    EXPECT_EQ(v.window.toolbarPicture, IDB_TOOLBAR_RUNNING);  // the thread leaves it
}

// Catches a calibration served late (after Acquire) or not at all.
TEST_F(AcquisitionThreadTest, CalibrationServedAtTheNextPassBeforeAcquire) {
    auto resolver = std::make_shared<CMemoryDeviceResolver>();
    resolver->SetDevice(1, {{UniformFrame(200)}, true, {}});
    const CScopedDeviceResolver installed(resolver);
    {
        auto pCamera = std::make_unique<CPortCamera>();
        CRecordingSurface surface;
        CFakeWindow window;
        std::vector<CFakeProcessor*> made;
        const std::string calibration = folder.File("calimage.data");
        std::atomic<bool> bRelease{false};
        std::vector<int> darkSeenByAcquire;  // written by the worker, read after the join
        CViewerCore core(
            surface, window,
            [&](bool bColor) {
                auto p = std::make_unique<CFakeProcessor>(bColor);
                p->SetCalibrationPath(calibration);
                p->acquireHook = [&](int call, CFakeProcessor& self) {
                    darkSeenByAcquire.push_back(self.CalibrationImage()[0]);
                    if (call == 1) {
                        WaitUntil([&] { return bRelease.load(); });
                    }
                    return call < 3 ? 1 : 0;
                };
                made.push_back(p.get());
                return p;
            },
            std::move(pCamera));
        core.SetTimingPath(TimeFile());
        core.OnInitDialog();
        core.OnStart();
        ASSERT_TRUE(WaitUntil([&] { return made.back()->AcquireCount() == 1; }));
        core.OnCalibrate();
        bRelease = true;
        ASSERT_TRUE(WaitUntil([&] { return core.IsRunning() == 0; }));
        core.StopAcquisition();
        EXPECT_EQ(darkSeenByAcquire, (std::vector<int>{0, 200, 200}));
        EXPECT_EQ(g_bCalibrate.load(), 0);
        EXPECT_EQ(ReadWhole(calibration).size(), 38304u * 4);
    }
}

// Catches a histogram switch that waits for a restart, or a plot drawn in the wrong place.
TEST_F(AcquisitionThreadTest, HistogramFollowsTheFlagPassByPass) {
    FakeViewer v(folder.Path());
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 2; }));
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.histogramsDrawn; }), 0);
    v.core.OnHistogram();
    ASSERT_TRUE(
        WaitUntil([&] { return v.surface.Read([](auto& s) { return s.histogramsDrawn; }) > 0; }));
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.histogramAt; }),
              (ViewerRect{0, 289, 256, 389}));
    // The fake counts 500 samples of level 7: one red dot at row 50.
    const auto plot = v.surface.Read([](auto& s) { return s.histogram; });
    ASSERT_EQ(plot.size(), 76800u);
    EXPECT_EQ(plot[50 * 768 + 7 * 3 + 2], 255);
    EXPECT_EQ(plot[50 * 768 + 7 * 3 + 0], 0);
    v.core.OnHistogram();
    v.core.OnStart();
    const int drawn = v.surface.Read([](auto& s) { return s.histogramsDrawn; });
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 2; }));
    v.core.OnStart();
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.histogramsDrawn; }), drawn);
}

// Catches a hide that lands while the worker is making a plot being undone by that plot.
TEST_F(AcquisitionThreadTest, HideWinsOverAPlotUnderWay) {
    FakeViewer v(folder.Path());
    CViewerCore& core = v.core;
    std::atomic<bool> bInside{false};
    std::atomic<bool> bHidden{false};
    v.surface.drawHistogramHook = [&] {
        if (!core.IsHistogramShown()) {
            return;
        }
        bInside = true;
        WaitUntil([&] { return bHidden.load(); });
    };
    v.core.OnHistogram();
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return bInside.load(); }));
    v.core.OnHistogram();  // hidden while the worker waits inside its first plot
    bHidden = true;
    ASSERT_TRUE(
        WaitUntil([&] { return v.surface.Read([](auto& s) { return s.histogramsDropped; }) > 0; }));
    v.core.OnStart();
    EXPECT_TRUE(v.surface.Read([](auto& s) { return s.histogram.empty(); }));
}

// Catches a rate display that stays silent while running, or that keeps a stale count once
// paused instead of the last rate with the final count of the timing report.
TEST_F(AcquisitionThreadTest, StatusPaneShowsRateAndCount) {
    FakeViewer v(folder.Path());
    std::atomic<std::int64_t> now{0};
    v.core.SetClock([&now] { return now.load(); });
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() >= 10; }));
    now = 1000;
    v.core.RefreshFrameRate();
    const std::string text = v.window.statusPane1;
    EXPECT_NE(text.find(" fps, "), std::string::npos) << text;
    EXPECT_GE(std::stoi(text), 10) << text;
    v.core.OnStart();
    now = 2000;
    v.core.RefreshFrameRate();
    int ms = 0;
    int frames = 0;
    ASSERT_EQ(std::sscanf(ReadWhole(TimeFile()).c_str(), "Time = %d    Frames = %d", &ms, &frames),
              2);
    EXPECT_EQ(v.window.statusPane1, text.substr(0, text.find(", ") + 2) + std::to_string(frames));
}

}  // namespace
