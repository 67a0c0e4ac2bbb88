#include <gtest/gtest.h>

#include "platform/ui/CmdUI.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/WinApp.h"

namespace {

// Records the state an update run leaves.
class CRecordingCmdUI : public CCmdUI {
  public:
    using CCmdUI::CCmdUI;
    void Enable(bool bOn) override {
        CCmdUI::Enable(bOn);
        m_nEnabled = bOn ? 1 : 0;
    }
    void SetCheck(int nCheck) override { m_nCheck = nCheck; }
    int m_nEnabled = -1;  // -1: untouched
    int m_nCheck = -1;
};

constexpr unsigned kAppCommand = 0xE141;  // handled by the application object only

class CTestApp : public CWinApp {
  public:
    CTestApp() {
        ON_COMMAND(kAppCommand, &CTestApp::OnAppCommand);
        ON_COMMAND(0x7000, &CTestApp::OnAppCommand);
        ON_COMMAND(0xF010, &CTestApp::OnAppCommand);
        ON_COMMAND(0x8000, &CTestApp::OnAppCommand);
        ON_COMMAND(0xEFFF, &CTestApp::OnAppCommand);
    }
    void OnAppCommand() { ++m_nRuns; }
    int m_nRuns = 0;
};

class CBaseWindow : public CDialog {
  public:
    CBaseWindow() {
        ON_COMMAND(0x9001, &CBaseWindow::OnBase);
        ON_COMMAND(0x9002, &CBaseWindow::OnBase);
        ON_UPDATE_COMMAND_UI(0x9002, &CBaseWindow::OnUpdateCheckOnly);
    }
    void OnBase() { m_strLast = "base"; }
    void OnUpdateCheckOnly(CCmdUI* pCmdUI) { pCmdUI->SetCheck(1); }
    std::string m_strLast;
};

class CDerivedWindow : public CBaseWindow {
  public:
    CDerivedWindow() {
        ON_COMMAND(0x9001, &CDerivedWindow::OnDerived);
        ON_COMMAND(kAppCommand, &CDerivedWindow::OnDerived);
        ON_COMMAND(0x9003, &CDerivedWindow::OnDerived);
        ON_UPDATE_COMMAND_UI(0x9003, &CDerivedWindow::OnUpdateDisable);
    }
    void OnDerived() { m_strLast = "derived"; }
    void OnUpdateDisable(CCmdUI* pCmdUI) { pCmdUI->Enable(false); }
};

// Catches a base entry answering before the derived class's entry for the same id, or the
// application object being asked before the window.
TEST(CommandRouting, MostDerivedWindowHandlerFirstThenApplication) {
    CTestApp app;
    CDerivedWindow wnd;
    EXPECT_TRUE(wnd.SendCommand(0x9001));
    EXPECT_EQ(wnd.m_strLast, "derived");
    EXPECT_TRUE(wnd.SendCommand(kAppCommand));
    EXPECT_EQ(app.m_nRuns, 0);
    CBaseWindow plain;
    EXPECT_TRUE(plain.SendCommand(kAppCommand));
    EXPECT_EQ(app.m_nRuns, 1);
}

class RoutingPastWindow : public ::testing::TestWithParam<std::pair<unsigned, bool>> {};

// Catches control ids or system commands leaking to the application object, or command ids
// at the edges of the routed range staying with the window.
TEST_P(RoutingPastWindow, OnlyCommandIdsReachTheApplication) {
    CTestApp app;
    CBaseWindow wnd;
    const auto [nID, bReachesApp] = GetParam();
    EXPECT_EQ(wnd.SendCommand(nID), bReachesApp);
    EXPECT_EQ(app.m_nRuns, bReachesApp ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Ids, RoutingPastWindow,
                         ::testing::Values(std::pair{0x7000u, false}, std::pair{0x8000u, true},
                                           std::pair{0xEFFFu, true}, std::pair{0xF010u, false}));

struct UpdateCase {
    unsigned nID;
    bool bDisableIfNoHndler;
    int nEnabled;  // expected, -1 = untouched
    int nCheck;
};

void PrintTo(const UpdateCase& c, std::ostream* os) {
    *os << "id 0x" << std::hex << c.nID << std::dec
        << (c.bDisableIfNoHndler ? " disabled without handler" : " kept without handler");
}

class UpdateRules : public ::testing::TestWithParam<UpdateCase> {};

// Catches a command without any handler staying enabled, a check-only update handler
// leaving a handled command disabled, an explicit Enable(false) being overridden, and the
// flag-false walk touching entries it must leave alone.
TEST_P(UpdateRules, DisableWithoutHandler) {
    CTestApp app;
    CDerivedWindow wnd;
    const UpdateCase c = GetParam();
    CRecordingCmdUI state(c.nID);
    state.DoUpdate(&wnd, c.bDisableIfNoHndler);
    EXPECT_EQ(state.m_nEnabled, c.nEnabled);
    EXPECT_EQ(state.m_nCheck, c.nCheck);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateRules,
    ::testing::Values(UpdateCase{0x9999, true, 0, -1},       // nothing handles it
                      UpdateCase{0x9999, false, -1, -1},     // left unchanged
                      UpdateCase{0x9001, true, 1, -1},       // window handles it
                      UpdateCase{kAppCommand, true, 1, -1},  // derived handles it too
                      UpdateCase{0x8000, true, 1, -1},       // application handles it
                      UpdateCase{0x9002, true, 1, 1},        // check-only update handler
                      UpdateCase{0x9003, true, 0, -1},       // update handler disables
                      UpdateCase{0xF010, true, 0, -1}));     // system id stays with window

}  // namespace
