#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>

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

}  // namespace
