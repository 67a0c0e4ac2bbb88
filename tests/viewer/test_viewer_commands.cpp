#include <gtest/gtest.h>

#include <map>
#include <string>

#include "resources/Resource.h"
#include "tests/viewer/ViewerCoreTestPeer.h"
#include "tests/viewer/ViewerFakes.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/CommandTable.h"
#include "viewer/SharedState.h"

namespace {

struct Rule {
    bool enabled;
    bool checked;
};
using RuleTable = std::map<unsigned, Rule>;

RuleTable Rules(const CViewerCore& core) {
    RuleTable rules;
    for (const ViewerCommand& command : ViewerCommands()) {
        rules[command.id] = {command.IsEnabled(core),
                             command.IsChecked != nullptr && command.IsChecked(core)};
    }
    return rules;
}

enum class State { Idle, Running, Paused, Grabbed, GrabbedWithoutThread };

const char* Name(State s) {
    switch (s) {
        case State::Idle:
            return "Idle";
        case State::Running:
            return "Running";
        case State::Paused:
            return "Paused";
        case State::Grabbed:
            return "Grabbed";
        case State::GrabbedWithoutThread:
            return "GrabbedWithoutThread";
    }
    return "";
}

AcquisitionState Named(State s) {
    switch (s) {
        case State::Idle:
            return AcquisitionState::Idle;
        case State::Running:
            return AcquisitionState::Running;
        case State::Paused:
            return AcquisitionState::Paused;
        case State::Grabbed:
        case State::GrabbedWithoutThread:
            break;
    }
    return AcquisitionState::Grabbed;
}

void Enter(FakeViewer& v, State state) {
    switch (state) {
        case State::Idle:
            return;
        case State::Running:
            v.core.OnStart();
            break;
        case State::Paused:
            v.core.OnStart();
            ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 0; }));
            v.core.OnStart();
            break;
        case State::Grabbed:
            v.core.OnStart();
            ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 0; }));
            v.core.OnGrab();
            break;
        case State::GrabbedWithoutThread:
            Enter(v, State::Grabbed);
            v.window.settings = {};
            v.core.OnSettings();
            break;
    }
}

struct RulesCase {
    State state;
    bool bRunning, bThreadActive, bGrabbed;
    RuleTable rules;
};

void PrintTo(const RulesCase& c, std::ostream* os) {
    *os << Name(c.state);
}

class CommandRulesTest : public ::testing::TestWithParam<RulesCase> {};

// Catches a command enabled or checked in a state where its rule says otherwise, and a
// state whose three flags do not match the state table or the state they are named.
TEST_P(CommandRulesTest, EveryCommandInState) {
    TempFolder folder;
    FakeViewer v(folder.Path());
    Enter(v, GetParam().state);
    EXPECT_EQ(v.core.IsRunning() == 1, GetParam().bRunning) << Name(GetParam().state);
    EXPECT_EQ(CViewerCoreTestPeer::IsThreadActive(v.core), GetParam().bThreadActive)
        << Name(GetParam().state);
    EXPECT_EQ(v.core.IsGrabbed() == 1, GetParam().bGrabbed) << Name(GetParam().state);
    EXPECT_EQ(v.core.State(), Named(GetParam().state)) << Name(GetParam().state);
    const RuleTable actual = Rules(v.core);
    for (const auto& [id, rule] : GetParam().rules) {
        EXPECT_EQ(actual.at(id).enabled, rule.enabled) << Name(GetParam().state) << " id " << id;
        EXPECT_EQ(actual.at(id).checked, rule.checked) << Name(GetParam().state) << " id " << id;
    }
}

// Columns: Save, Grab, Start, Calibrate, Zoom, Histogram, Settings, Remap, Median.
RuleTable Table(Rule save, Rule grab, Rule start, Rule calibrate, Rule settings) {
    return {{ID_FILE_SAVE, save},
            {ID_FILE_GRAB, grab},
            {ID_FILE_START, start},
            {ID_FILE_CALIBRATE, calibrate},
            {ID_VIEW_ZOOM, {true, false}},
            {ID_VIEW_HISTOGRAM, {true, false}},
            {ID_SETTINGS_DIALOG, settings},
            {ID_OPTIONS_REMAP, {true, true}},
            {ID_OPTIONS_MEDIAN, {true, false}}};
}

constexpr Rule kOff{false, false}, kOn{true, false}, kOnChecked{true, true};

INSTANTIATE_TEST_SUITE_P(
    States, CommandRulesTest,
    ::testing::Values(
        RulesCase{State::Idle, false, false, false, Table(kOff, kOff, kOn, kOff, kOn)},
        RulesCase{State::Running, true, true, false, Table(kOff, kOn, kOnChecked, kOn, kOff)},
        RulesCase{State::Paused, false, true, false, Table(kOff, kOn, kOn, kOff, kOn)},
        RulesCase{State::Grabbed, false, true, true, Table(kOn, kOnChecked, kOn, kOff, kOn)},
        RulesCase{State::GrabbedWithoutThread, false, false, true,
                  Table(kOn, kOnChecked, kOn, kOff, kOn)}));

class ViewerCommandsTest : public ::testing::Test {
  protected:
    TempFolder folder;
    FakeViewer v{folder.Path()};
};

// Catches a start-up state that differs from the defaults (view, size, processor, window).
TEST_F(ViewerCommandsTest, StartUpState) {
    EXPECT_FALSE(v.core.IsHistogramShown());
    EXPECT_EQ(v.core.IsRemap(), 1);
    EXPECT_EQ(v.core.Width(), 256);
    EXPECT_FALSE(v.Processor().IsColor());
    EXPECT_EQ(v.Processor().Width(), 256);
    EXPECT_EQ(v.Processor().Offset(), 80);
    EXPECT_EQ(v.Processor().Gain(), 3.0f);
    EXPECT_EQ(v.window.window, (ViewerRect{508, 337, 772, 688}));
    EXPECT_EQ(v.surface.background, (ViewerRect{0, 31, 256, 287}));
    EXPECT_EQ(g_pProcessor.load(), &v.Processor());
}

// Catches Start not toggling, the wrong toolbar picture, or a pause that drops the frame.
TEST_F(ViewerCommandsTest, StartPausesAndResumes) {
    v.core.OnStart();
    EXPECT_EQ(v.window.toolbarPicture, IDB_TOOLBAR_RUNNING);
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 0; }));
    v.core.OnStart();
    EXPECT_EQ(v.window.toolbarPicture, IDB_TOOLBAR_IDLE);
    EXPECT_TRUE(CViewerCoreTestPeer::HasFrameShown(v.core));
    EXPECT_TRUE(v.surface.Read([](auto& s) { return s.bFrameShown; }));
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.frameRect; }), (ViewerRect{0, 33, 256, 289}));
    v.core.OnStart();
    EXPECT_EQ(v.core.IsRunning(), 1);
    v.core.OnStart();
}

// Catches a second Grab that restarts acquisition instead of only withdrawing the grab.
TEST_F(ViewerCommandsTest, GrabTwiceWhilePausedOnlyTogglesTheMark) {
    Enter(v, State::Paused);
    v.core.OnGrab();
    EXPECT_EQ(v.core.IsGrabbed(), 1);
    v.core.OnGrab();
    EXPECT_EQ(v.core.IsGrabbed(), 0);
    EXPECT_EQ(v.core.IsRunning(), 0);
    EXPECT_TRUE(CViewerCoreTestPeer::IsThreadActive(v.core));
}

// Catches Save passing the bare name or the wrong size, or keeping the grab afterwards.
TEST_F(ViewerCommandsTest, SaveWritesTheGrabbedPictureByFullPath) {
    Enter(v, State::Grabbed);
    v.window.savePath = folder.File("frame.bmp");
    v.core.OnSave();
    const auto calls = v.Processor().Calls();
    EXPECT_EQ(calls.back(), "SaveBitmap 256x256 " + folder.File("frame.bmp"));
    EXPECT_EQ(v.core.IsGrabbed(), 0);
    EXPECT_TRUE(v.window.messages.empty());
    EXPECT_FALSE(ExecuteViewerCommand(v.core, ID_FILE_SAVE));  // Paused: needs a new Grab
}

// Catches the unmapped view saving at the picture size instead of 252 x 152.
TEST_F(ViewerCommandsTest, SaveInUnmappedViewUsesFrameSize) {
    v.core.OnRemap();
    Enter(v, State::Grabbed);
    v.core.OnSave();
    EXPECT_EQ(v.Processor().Calls().back(), "SaveBitmap 252x152 /tmp/picture.bmp");
}

// Catches a failed save that the operator is never told of.
TEST_F(ViewerCommandsTest, FailedSaveIsReportedWithTheFileName) {
    Enter(v, State::Grabbed);
    v.Processor().saveResult = 0;
    v.window.savePath = "/no/such/folder/x.bmp";
    v.core.OnSave();
    ASSERT_EQ(v.window.messages.size(), 1u);
    EXPECT_NE(v.window.messages[0].find("/no/such/folder/x.bmp"), std::string::npos);
    EXPECT_EQ(v.window.messages[0].rfind("Korvel: ", 0), 0u);
}

// Catches a cancelled save that leaves the grab, and Save without a grab that opens a dialog.
TEST_F(ViewerCommandsTest, SaveCancelledOrRefused) {
    Enter(v, State::Grabbed);
    v.window.bSaveConfirmed = false;
    v.core.OnSave();
    EXPECT_EQ(v.core.IsGrabbed(), 0);
    EXPECT_EQ(v.Processor().Calls().back().rfind("SaveBitmap", 0), std::string::npos);
    v.core.OnSave();
    EXPECT_EQ(v.window.saveDialogs, 1);
    ASSERT_EQ(v.window.messages.size(), 1u);
    EXPECT_EQ(v.window.messages[0], "Korvel: Select Grab First");
}

// Catches Remap restarting acquisition when it was off, or not restarting it in the new view.
TEST_F(ViewerCommandsTest, RemapRestartsOnlyWhenRunning) {
    Enter(v, State::Paused);
    v.core.OnRemap();
    EXPECT_EQ(v.core.IsRemap(), 0);
    EXPECT_EQ(v.core.IsRunning(), 0);
    EXPECT_TRUE(CViewerCoreTestPeer::IsThreadActive(v.core));
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.frameHeader.biWidth; }), 256);
    v.core.OnStart();
    v.core.OnRemap();
    EXPECT_EQ(v.core.IsRemap(), 1);
    EXPECT_EQ(v.core.IsRunning(), 1);
    v.core.OnRemap();
    ASSERT_TRUE(WaitUntil([&] { return v.core.FramesDone() > 0; }));
    v.core.OnStart();
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.frameHeader; }), MakeRgbHeader(252, 152));
    EXPECT_EQ(v.surface.Read([](auto& s) { return s.frameRect; }), (ViewerRect{2, 94, 254, 246}));
}

// Catches Zoom that leaves acquisition off, keeps the old processor or background size.
TEST_F(ViewerCommandsTest, ZoomFromIdleStartsAtTheOtherSize) {
    v.core.OnZoom();
    EXPECT_EQ(v.core.IsRunning(), 1);
    EXPECT_EQ(v.core.IsZoomed(), 1);
    EXPECT_EQ(v.processors.size(), 2u);
    EXPECT_EQ(v.Processor().Width(), 512);
    EXPECT_EQ(v.window.window.Width(), 520);
    EXPECT_EQ(v.window.window.Height(), 607);
    EXPECT_EQ(v.surface.background, (ViewerRect{0, 31, 512, 543}));
    v.core.OnZoom();
    EXPECT_EQ(v.core.Width(), 256);
    EXPECT_EQ(v.surface.background, (ViewerRect{0, 31, 256, 287}));
    EXPECT_EQ(v.core.IsRunning(), 1);
}

// Catches the histogram and the 512 size being allowed together, in either order.
TEST_F(ViewerCommandsTest, ZoomAndHistogramExcludeEachOther) {
    v.core.OnHistogram();
    EXPECT_TRUE(v.core.IsHistogramShown());
    EXPECT_EQ(v.window.window, (ViewerRect{408, 337, 672, 788}));
    EXPECT_EQ(v.window.statusBar.top, 387);
    v.core.OnZoom();
    EXPECT_FALSE(v.core.IsHistogramShown());
    EXPECT_EQ(v.core.Width(), 512);
    v.core.OnHistogram();
    EXPECT_TRUE(v.core.IsHistogramShown());
    EXPECT_EQ(v.core.Width(), 256);
    EXPECT_EQ(v.core.IsRunning(), 1);
    EXPECT_EQ(v.window.window.Height(), 451);
}

// Catches Settings that drops the grab, keeps the thread or ignores the sensor type.
TEST_F(ViewerCommandsTest, SettingsAcceptedWhileGrabbed) {
    Enter(v, State::Grabbed);
    v.window.settings.bColor = true;
    v.window.settings.nGain = 5;
    v.window.settings.nOffset = 60;
    v.core.OnSettings();
    EXPECT_EQ(v.core.IsGrabbed(), 1);
    EXPECT_FALSE(CViewerCoreTestPeer::IsThreadActive(v.core));
    EXPECT_TRUE(ExecuteViewerCommand(v.core, ID_FILE_SAVE));  // the new processor's picture
    EXPECT_TRUE(v.Processor().IsColor());
    EXPECT_EQ(v.Processor().Gain(), 5.0f);
    EXPECT_EQ(v.Processor().Offset(), 60);
    EXPECT_EQ(v.core.IsColorProcessor(), 1);
}

// Catches a cancelled Settings dialog that still rebuilds the processor.
TEST_F(ViewerCommandsTest, SettingsCancelledChangesNothing) {
    v.window.bSettingsConfirmed = false;
    v.window.settings.bColor = true;
    v.core.OnSettings();
    EXPECT_EQ(v.processors.size(), 1u);
    EXPECT_EQ(v.core.IsColorProcessor(), 0);
}

// Catches Zoom that clears the stored median value, or Median that does not reconfigure.
TEST_F(ViewerCommandsTest, MedianAfterZoom) {
    v.core.OnMedian();
    EXPECT_EQ(v.Processor().Median(), 1);
    v.core.OnZoom();
    EXPECT_EQ(v.core.IsMedian(), 0);
    EXPECT_EQ(CViewerCoreTestPeer::ConfiguredMedian(v.core), 1);
    EXPECT_EQ(v.Processor().Median(), 1);
    v.core.OnMedian();
    EXPECT_EQ(v.core.IsMedian(), 1);
    EXPECT_EQ(CViewerCoreTestPeer::ConfiguredMedian(v.core), 1);
    v.core.OnStart();
}

// Catches a command run through the table while its rule disables it.
TEST_F(ViewerCommandsTest, DisabledCommandsDoNotRun) {
    EXPECT_FALSE(ExecuteViewerCommand(v.core, ID_FILE_CALIBRATE));
    EXPECT_EQ(g_bCalibrate.load(), 0);
    EXPECT_FALSE(ExecuteViewerCommand(v.core, ID_FILE_GRAB));
    EXPECT_EQ(v.core.IsGrabbed(), 0);
    EXPECT_FALSE(ExecuteViewerCommand(v.core, 12345));
}

}  // namespace
