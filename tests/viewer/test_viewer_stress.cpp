#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>

#include "camera/PortCamera.h"
#include "platform/device/MemoryDevice.h"
#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"
#include "resources/Resource.h"
#include "tests/viewer/ViewerFakes.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/CommandTable.h"
#include "viewer/SharedState.h"

namespace {

// Catches races, deadlocks and leaks between the commands and a running worker: thousands
// of seeded random commands, bounded in time, must leave a consistent state behind.
TEST(ViewerStress, RandomCommandsWithTheWorkerRunning) {
    TempFolder folder;
    FakeViewer v(folder.Path());
    constexpr std::array kCommands = {ID_FILE_START,     ID_FILE_GRAB,      ID_OPTIONS_REMAP,
                                      ID_VIEW_HISTOGRAM, ID_OPTIONS_MEDIAN, ID_FILE_CALIBRATE,
                                      ID_VIEW_ZOOM};
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> pick(0, kCommands.size() - 1);
    // A plain build runs the 3000 in about two seconds; the bound leaves room for the
    // sanitizer builds on a busy machine, which are tens of times slower.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    int executed = 0;
    v.core.OnStart();
    for (int i = 0; i < 3000 && std::chrono::steady_clock::now() < deadline; ++i) {
        const unsigned id = kCommands[pick(random)];
        // Zoom rebuilds everything; keep it rarer so the worker spends time running.
        if (id == ID_VIEW_ZOOM && random() % 8 != 0) {
            continue;
        }
        executed += ExecuteViewerCommand(v.core, id) ? 1 : 0;
        v.core.OnPaint();
        v.core.RefreshFrameRate();
        EXPECT_FALSE(v.core.IsZoomed() == 1 && v.core.IsHistogramShown());
    }
    EXPECT_GT(executed, 1000);
    if (v.core.IsRunning() == 0) {
        v.core.OnStart();
    }
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 0; }));
    v.core.OnDestroy();
    EXPECT_EQ(g_pProcessor.load(), nullptr);
}

struct SensorCase {
    const char* name;
    bool bColor;
};

void PrintTo(const SensorCase& c, std::ostream* os) {
    *os << c.name;
}

class RealProcessorStress : public ::testing::TestWithParam<SensorCase> {};

// Catches races between the commands and a worker driving a real processor of either
// sensor, such as Median rewriting the colour channel map while the worker counts the
// histogram with it (ThreadSanitizer reports it even when the values written are equal).
TEST_P(RealProcessorStress, RandomCommandsWithTheWorkerRunning) {
    TempFolder folder;
    auto resolver = std::make_shared<CMemoryDeviceResolver>();
    resolver->SetDevice(1, {{PatternFrame(3, 7), UniformFrame(90)}, true, {}});
    auto previous = SetDeviceResolver(resolver);
    {
        CRecordingSurface surface;
        CFakeWindow window;
        const bool bColor = GetParam().bColor;
        const std::string calibration = folder.File("calimage.data");
        CViewerCore core(
            surface, window,
            [bColor, calibration](bool) -> std::unique_ptr<CFrameProcessor> {
                std::unique_ptr<CFrameProcessor> p;
                if (bColor) {
                    p = std::make_unique<CColorProcessor>();
                } else {
                    p = std::make_unique<CMonoProcessor>();
                }
                p->SetCalibrationPath(calibration);
                return p;
            },
            std::make_unique<CPortCamera>());
        core.SetTimingPath(folder.File("time.inf"));
        core.OnInitDialog();
        core.OnHistogram();  // the histogram pass reads the channel map
        constexpr std::array kCommands = {ID_FILE_START, ID_FILE_GRAB, ID_OPTIONS_REMAP,
                                          ID_OPTIONS_MEDIAN, ID_FILE_CALIBRATE};
        std::mt19937 random(20261208);
        std::uniform_int_distribution<std::size_t> pick(0, kCommands.size() - 1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        core.OnStart();
        for (int i = 0; i < 1500 && std::chrono::steady_clock::now() < deadline; ++i) {
            const unsigned id = kCommands[pick(random)];
            // Median is the command that touches a running processor: it gets most turns.
            ExecuteViewerCommand(core, random() % 2 == 0 ? ID_OPTIONS_MEDIAN : id);
            core.RefreshFrameRate();
            if (core.IsRunning() == 0 && random() % 4 == 0) {
                core.OnStart();
            }
        }
        core.OnDestroy();
        EXPECT_EQ(g_pProcessor.load(), nullptr);
    }
    SetDeviceResolver(previous);
}

INSTANTIATE_TEST_SUITE_P(Sensors, RealProcessorStress,
                         ::testing::Values(SensorCase{"Mono", false}, SensorCase{"Color", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
