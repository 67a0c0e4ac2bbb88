#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "ViewerFakes.h"
#include "ViewerTestSupport.h"
#include "camera/PortCamera.h"
#include "levels/AutoLevels.h"
#include "platform/device/MemoryDevice.h"
#include "resources/Resource.h"
#include "viewer/CommandTable.h"
#include "viewer/SharedState.h"
#include "viewer/ToolsCommands.h"

namespace {

// Writes a frame whose periphery spans 0..42 levels (the camera's range above dark) into
// the processor's raw frame, as a camera read would.
int CameraLikeFrame(int, CFakeProcessor& self) {
    auto* pRaw = const_cast<std::uint8_t*>(self.RawFrame());
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        pRaw[i] = std::uint8_t(i % 43);
    }
    return 1;
}

// What Auto Levels chooses for that frame on the black-and-white picture.
LevelsChoice CameraLikeChoice() {
    std::vector<std::uint8_t> raw(kFrameBytes);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        raw[i] = std::uint8_t(i % 43);
    }
    return ChooseLevels(raw.data(), nullptr, kGreyDisplay);
}

class ViewerToolsTest : public ::testing::Test {
  protected:
    TempFolder folder;
};

struct StartupCase {
    const char* name;
    ViewerStartup startup;
    int offset, gain, color, zoomed, width, remap;
    bool histogram;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const StartupCase& c, std::ostream* os) {
    *os << c.name;
}

class StartupValuesTest : public ::testing::TestWithParam<StartupCase> {};

// Catches a start-up value that does not reach the state the operator's own command would
// set (or a default changed when no value is given).
TEST_P(StartupValuesTest, EachValueSetsItsInitialState) {
    TempFolder folder;
    FakeViewer v(folder.Path());
    const StartupCase& c = GetParam();
    v.core.ApplyStartup(c.startup);
    EXPECT_EQ(v.core.ConfiguredOffset(), c.offset);
    EXPECT_EQ(v.core.ConfiguredGain(), c.gain);
    EXPECT_EQ(v.Processor().Offset(), c.offset);
    EXPECT_EQ(v.Processor().Gain(), float(c.gain));
    EXPECT_EQ(v.core.IsColorProcessor(), c.color);
    EXPECT_EQ(v.Processor().IsColor(), c.color == 1);
    EXPECT_EQ(v.core.IsZoomed(), c.zoomed);
    EXPECT_EQ(v.Processor().Width(), c.width);
    EXPECT_EQ(v.core.IsRemap(), c.remap);
    EXPECT_EQ(v.core.IsHistogramShown(), c.histogram);
    EXPECT_EQ(v.window.levelsShown, std::make_pair(c.offset, c.gain));
    g_bHistogramHidden = 1;
}

ViewerStartup Levels(int offset, int gain) {
    ViewerStartup s;
    s.offset = offset;
    s.gain = gain;
    return s;
}
ViewerStartup Flags(bool color, bool zoom, bool histogram, bool unmapped) {
    ViewerStartup s;
    s.bColor = color;
    s.bZoom = zoom;
    s.bHistogram = histogram;
    s.bUnmapped = unmapped;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Options, StartupValuesTest,
    ::testing::Values(StartupCase{"Nothing", ViewerStartup{}, 80, 3, 0, 0, 256, 1, false},
                      StartupCase{"OffsetAndGain", Levels(5, 10), 5, 10, 0, 0, 256, 1, false},
                      StartupCase{"ColourZoomed", Flags(true, true, false, false), 80, 3, 1, 1, 512,
                                  1, false},
                      StartupCase{"HistogramUnmapped", Flags(false, false, true, true), 80, 3, 0, 0,
                                  256, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches Auto Levels that does not reach the running processor, leaves the Settings values
// behind, or does not tell the operator what it chose.
TEST_F(ViewerToolsTest, AutoLevelsWhileRunningAppliesLikeMedian) {
    FakeViewer v(folder.Path());
    v.Processor().acquireHook = CameraLikeFrame;
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 1; }));
    ASSERT_TRUE(ExecuteViewerCommand(v.core, ID_TOOLS_AUTO_LEVELS));
    ASSERT_TRUE(WaitUntil([&] { return !v.core.IsAutoLevelsPending(); }));
    // The worker configures the processor, then posts the news the window takes over.
    const LevelsChoice chosen = CameraLikeChoice();
    ASSERT_NE(chosen.gain, 3);
    ASSERT_TRUE(WaitUntil([&] {
        v.core.PollWorker();
        return v.core.ConfiguredGain() == chosen.gain;
    }));
    EXPECT_EQ(v.core.ConfiguredOffset(), chosen.offset);
    EXPECT_EQ(v.core.ConfiguredGain(), chosen.gain);
    EXPECT_EQ(v.Processor().Offset(), chosen.offset);
    EXPECT_EQ(v.window.levelsShown, std::make_pair(chosen.offset, chosen.gain));
    EXPECT_EQ(v.window.statusPane0, "Offset " + std::to_string(chosen.offset) + ", gain " +
                                        std::to_string(chosen.gain) + " (auto)");
    EXPECT_EQ(v.processors.size(), 1u);  // same processor, same size: no rebuild
    v.core.OnStart();
}

// Catches Auto Levels asked for before any frame that is dropped, or served from the empty
// frame of a new processor, instead of from the first frame read.
TEST_F(ViewerToolsTest, AutoLevelsBeforeAnyFrameWaitsForTheFirst) {
    FakeViewer v(folder.Path());
    v.Processor().acquireHook = CameraLikeFrame;
    v.core.OnAutoLevels();
    EXPECT_TRUE(v.core.IsAutoLevelsPending());
    EXPECT_EQ(v.core.ConfiguredGain(), 3);
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 2; }));
    v.core.OnStart();
    v.core.PollWorker();
    EXPECT_EQ(v.core.ConfiguredGain(), CameraLikeChoice().gain);
    // Paused on a held frame, a second request is served at once from it.
    v.Processor().Configure(0, 80, 320, 320, 3, 256, 256);
    v.core.OnAutoLevels();
    EXPECT_FALSE(v.core.IsAutoLevelsPending());
    EXPECT_EQ(v.Processor().Gain(), float(CameraLikeChoice().gain));
}

// Catches a flat frame that changes the levels (a division by its zero range).
TEST_F(ViewerToolsTest, FlatFrameLeavesLevels) {
    FakeViewer v(folder.Path());
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 1; }));
    v.core.OnStart();
    v.core.OnAutoLevels();
    EXPECT_EQ(v.core.ConfiguredGain(), 3);
    EXPECT_EQ(v.core.ConfiguredOffset(), 80);
    EXPECT_NE(v.window.statusPane0.find("Flat frame"), std::string::npos) << v.window.statusPane0;
}

// Catches a stopped run whose pane keeps a stale live rate instead of the final count that
// the timing report holds, and a source name that is not shown while idle.
TEST_F(ViewerToolsTest, StatusNamesTheSourceThenTheFinalCount) {
    FakeViewer v(folder.Path());
    v.core.SetSourceName("Simulated camera");
    EXPECT_EQ(v.window.statusPane1, "Simulated camera");
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 5; }));
    v.core.OnStart();
    v.core.PollWorker();
    const std::string report = ReadWhole(folder.File("time.inf"));
    int ms = 0;
    int frames = 0;
    ASSERT_EQ(std::sscanf(report.c_str(), "Time = %d    Frames = %d", &ms, &frames), 2) << report;
    const std::string pane = v.window.statusPane1;
    EXPECT_EQ(pane.substr(pane.find(", ") + 2), std::to_string(frames)) << pane;
    // A new Start clears the old news: the summary does not come back while running.
    v.core.OnStart();
    v.core.PollWorker();
    EXPECT_EQ(v.window.statusPane1, "");
    v.core.OnStart();
}

// Catches a lost camera reported in words nobody understands, a stale histogram left on
// screen, and a failed read not counted.
TEST_F(ViewerToolsTest, LostCameraSaysAfterHowManyFrames) {
    FakeViewer v(folder.Path());
    v.core.OnHistogram();
    v.Processor().acquireHook = [](int call, CFakeProcessor&) { return call <= 4 ? 1 : 0; };
    v.core.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return v.core.IsRunning() == 0; }));
    v.core.PollWorker();
    EXPECT_EQ(v.window.statusPane1, "Camera lost after 4 frames");
    EXPECT_TRUE(v.surface.Read([](auto& s) { return s.histogram.empty(); }));
    EXPECT_EQ(v.core.FailedReads(), 1);
    v.core.RefreshFrameRate();
    EXPECT_EQ(v.window.statusPane1, "Camera lost after 4 frames");  // kept until next Start
    v.core.StopAcquisition();
    g_bHistogramHidden = 1;
}

// Catches a calibration that ends silently: the operator hears what it measured, and a lit
// one is warned about in a message (the file is still written).
TEST_F(ViewerToolsTest, CalibrationSummaryAndLitWarning) {
    for (const std::uint8_t level : {std::uint8_t(6), std::uint8_t(200)}) {
        auto resolver = std::make_shared<CMemoryDeviceResolver>();
        resolver->SetDevice(1, {{UniformFrame(level)}, true, {}});
        auto previous = SetDeviceResolver(resolver);
        {
            CRecordingSurface surface;
            CFakeWindow window;
            const std::string calibration = folder.File("calimage.data");
            CViewerCore core(
                surface, window,
                [&](bool bColor) {
                    auto p = std::make_unique<CFakeProcessor>(bColor);
                    p->SetCalibrationPath(calibration);
                    return p;
                },
                std::make_unique<CPortCamera>());
            core.SetTimingPath(folder.File("time.inf"));
            core.OnInitDialog();
            core.OnStart();
            core.OnCalibrate();
            ASSERT_TRUE(WaitUntil([&] { return g_bCalibrate.load() == 0; }));
            ASSERT_TRUE(WaitUntil([&] {
                core.PollWorker();
                return !window.statusPane0.empty() || !window.messages.empty();
            }));
            core.OnStart();
            if (level == 6) {
                EXPECT_EQ(window.statusPane0,
                          "Calibrated from 10 frames: dark levels 6\u20136, mean 6");
                EXPECT_TRUE(window.messages.empty());
            } else {
                ASSERT_EQ(window.messages.size(), 1u);
                EXPECT_NE(window.messages[0].find("look lit"), std::string::npos);
            }
            EXPECT_EQ(ReadWhole(calibration).size(), kFrameBytes * 4);
        }
        SetDeviceResolver(previous);
    }
}

}  // namespace
