#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QToolBar>

#include "platform/ui/CmdUI.h"
#include "platform/ui/Resources.h"
#include "platform/ui/WinApp.h"
#include "resources/Resource.h"
#include "shell/ModelessMain.h"
#include "shell/ShellResources.h"
#include "tests/platform/ui/WidgetTest.h"

namespace {

const unsigned kIndicators[] = {0, 0};
const unsigned kButtons[] = {ID_FILE_SAVE, 0, ID_FILE_CALIBRATE, 0, ID_FILE_GRAB, 0, ID_FILE_START};

// The application object of the program: About besides the framework's Exit.
class CTestApp : public CWinApp {
  public:
    CTestApp() { ON_COMMAND(ID_HELP_ABOUT, &CTestApp::OnHelpAbout); }
    void OnHelpAbout() {}
};

// A main window that handles Start only, counting its runs.
class CStartOnlyMain : public CModelessMain {
  public:
    explicit CStartOnlyMain(int* pStarts) : m_pStarts(pStarts) {
        ON_COMMAND(ID_FILE_START, &CStartOnlyMain::OnFileStart);
    }
    void OnFileStart() { ++*m_pStarts; }

  private:
    int* m_pStarts;
};

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallShellResources();
        m_pMain = new CStartOnlyMain(&m_nStarts);
        m_app.m_pMainWnd = m_pMain;
        ASSERT_TRUE(m_pMain->Create(IDD_CAMERA, kIndicators, 2, kButtons, 7, IDR_MAINFRAME));
        m_pWindow = m_pMain->GetSafeHwnd();
    }
    void TearDown() override {
        if (m_pWindow) {
            m_pMain->DestroyWindow();
        }
        // Every window of the test has gone.
        EXPECT_EQ(VisibleTopLevelCount(), 0);
        EXPECT_TRUE(m_pWindow.isNull());
    }
    QMenu* Popup(int nIndex) const { return m_pMain->GetMenu()->actions().at(nIndex)->menu(); }
    QAction* MenuItem(unsigned nID) const {
        for (QAction* pTitle : m_pMain->GetMenu()->actions()) {
            for (QAction* pItem : pTitle->menu()->actions()) {
                if (pItem->data().toUInt() == nID) {
                    return pItem;
                }
            }
        }
        return nullptr;
    }
    void OpenPopup(int nIndex) { m_pMain->OnInitMenuPopup(Popup(nIndex), nIndex, false); }

    CTestApp m_app;
    int m_nStarts = 0;
    CStartOnlyMain* m_pMain = nullptr;
    QPointer<QDialog> m_pWindow;
};

// Catches a missing "Ready" at start, a first pane not 160 pixels wide, or the bars not
// being created with their child ids.
TEST_F(MainWindow, StartsReadyWithFirstPaneOf160) {
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("Ready"));
    EXPECT_EQ(m_pMain->m_statusBar.GetCount(), 2);
    EXPECT_EQ(m_pMain->m_statusBar.GetPaneWidth(0), 160);
    EXPECT_EQ(m_pMain->m_statusBar.GetDlgCtrlID(), ID_VIEW_STATUS_BAR);
    EXPECT_EQ(m_pMain->m_toolBar.GetDlgCtrlID(), ID_VIEW_TOOLBAR);
    EXPECT_EQ(m_pMain->m_nShownPromptId, AFX_IDS_IDLEMESSAGE);
    EXPECT_EQ(m_pWindow->windowTitle(), QStringLiteral("Pandry"));
    EXPECT_FALSE(m_pWindow->windowIcon().isNull());
}

// Catches a wrong menu table: pop-up titles, item texts and ids in order.
TEST_F(MainWindow, MenuHoldsEveryItemWithItsId) {
    QStringList titles;
    for (QAction* pTitle : m_pMain->GetMenu()->actions()) {
        titles << pTitle->text();
    }
    EXPECT_EQ(titles, (QStringList{"&File", "&View", "&Settings", "&Options", "&Help"}));
    const std::vector<std::pair<const char*, unsigned>> expected = {
        {"&Save", ID_FILE_SAVE},
        {"&Grab", ID_FILE_GRAB},
        {"&Start", ID_FILE_START},
        {"&Calibrate", ID_FILE_CALIBRATE},
        {"E&xit", ID_APP_EXIT},
        {"&Status Bar", ID_VIEW_STATUS_BAR},
        {"&Toolbar", ID_VIEW_TOOLBAR},
        {"&Zoom", ID_VIEW_ZOOM},
        {"&Histogram", ID_VIEW_HISTOGRAM},
        {"&Settings Dialog", ID_SETTINGS_DIALOG},
        {"&Remap", ID_OPTIONS_REMAP},
        {"&Median", ID_OPTIONS_MEDIAN},
        {"&About...", ID_HELP_ABOUT}};
    size_t i = 0;
    for (QAction* pTitle : m_pMain->GetMenu()->actions()) {
        for (QAction* pItem : pTitle->menu()->actions()) {
            ASSERT_LT(i, expected.size());
            EXPECT_EQ(pItem->text(), QString::fromLatin1(expected[i].first));
            EXPECT_EQ(pItem->data().toUInt(), expected[i].second);
            ++i;
        }
    }
    EXPECT_EQ(i, expected.size());
}

// Catches the last pop-up titles (Tools, Help) hiding behind the menu bar's overflow button
// in the 256-pixel window.
TEST_F(MainWindow, EveryMenuTitleFitsTheNarrowWindow) {
    QMenuBar* pBar = m_pMain->GetMenu();
    pBar->resize(256, pBar->sizeHint().height());
    const QList<QAction*> titles = pBar->actions();
    ASSERT_FALSE(titles.isEmpty());
    EXPECT_LE(pBar->actionGeometry(titles.back()).right(), 255);
}

// Catches prompts not following the highlight, the line feed being dropped from the stored
// text, a pop-up title wiping the prompt, and "Ready" not coming back when the menu closes.
TEST_F(MainWindow, MenuHighlightPromptsAndClosingRestoresReady) {
    OpenPopup(0);
    MenuItem(ID_FILE_GRAB)->hover();
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("\nGrab"));
    m_pMain->OnMenuSelect(0, MF_POPUP);
    m_pMain->OnEnterIdle(MSGF_MENU);
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("\nGrab"));
    m_pMain->OnMenuSelect(0, kMenuClosedFlags);
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("Ready"));
}

// Catches a real menu opening without its update walk, or its closing not reaching the
// window, which would leave the last prompt standing after the menu has gone.
TEST_F(MainWindow, RealMenuUpdatesOnOpenAndBringsBackReadyOnClose) {
    QMenu* pFile = Popup(0);
    pFile->popup(m_pWindow->mapToGlobal(QPoint(0, 0)));
    ProcessEvents();
    EXPECT_FALSE(MenuItem(ID_FILE_SAVE)->isEnabled());
    EXPECT_TRUE(MenuItem(ID_FILE_START)->isEnabled());
    MenuItem(ID_FILE_GRAB)->hover();
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("\nGrab"));
    pFile->hide();
    ProcessEvents();
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("Ready"));
}

struct SelectCase {
    unsigned nItemID;
    unsigned nFlags;
    unsigned nPending;
};

void PrintTo(const SelectCase& c, std::ostream* os) {
    *os << "item 0x" << std::hex << c.nItemID << " flags 0x" << c.nFlags << std::dec;
}

class MenuSelect : public MainWindow, public ::testing::WithParamInterface<SelectCase> {};

// Catches wrong pending prompt ids: separators and pop-ups must give 0, system commands
// their 0xEF00-based prompt id.
TEST_P(MenuSelect, PendingPromptId) {
    const SelectCase c = GetParam();
    m_pMain->OnMenuSelect(c.nItemID, c.nFlags);
    EXPECT_EQ(m_pMain->m_nPendingPromptId, c.nPending);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MenuSelect,
    ::testing::Values(SelectCase{ID_FILE_GRAB, 0, ID_FILE_GRAB}, SelectCase{0, 0, 0},
                      SelectCase{ID_FILE_GRAB, MF_SEPARATOR, 0}, SelectCase{5, MF_POPUP, 0},
                      SelectCase{0xF020, 0, 0xEF02}, SelectCase{0xF1F0, 0, 0xF1F0},
                      SelectCase{0, kMenuClosedFlags, AFX_IDS_IDLEMESSAGE}));

// Catches a prompt id without a string changing the text or not being recorded as shown.
TEST_F(MainWindow, PromptWithoutStringKeepsTextButIsRecorded) {
    EXPECT_EQ(m_pMain->ShowPrompt(ID_VIEW_ZOOM), AFX_IDS_IDLEMESSAGE);
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("Ready"));
    EXPECT_EQ(m_pMain->m_nShownPromptId, ID_VIEW_ZOOM);
    EXPECT_EQ(m_pMain->m_nPendingPromptId, ID_VIEW_ZOOM);
}

// Catches toolbar hovering not prompting, leaving not bringing back "Ready", and tool tips
// taken from the wrong field or trimmed ("Start " keeps its blank).
TEST_F(MainWindow, ToolbarHoverPromptsAndToolTips) {
    m_pMain->m_toolBar.GetButton(ID_FILE_SAVE)->hover();
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("\nSave"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(m_pMain->m_toolBar.GetSafeHwnd(), &leave);
    EXPECT_EQ(m_pMain->m_statusBar.GetWindowText(), QStringLiteral("Ready"));
    EXPECT_EQ(m_pMain->m_toolBar.GetButton(ID_FILE_SAVE)->toolTip(), QStringLiteral("Save"));
    EXPECT_EQ(m_pMain->m_toolBar.GetButton(ID_FILE_START)->toolTip(), QStringLiteral("Start "));
    EXPECT_EQ(m_pMain->m_toolBar.GetCount(), 7);
    EXPECT_EQ(m_pMain->m_toolBar.GetItemID(1), 0u);
}

// Catches tool tips longer than the 79 characters the request's buffer holds, and a
// missing string giving anything but an empty tip.
TEST_F(MainWindow, ToolTipCutTo79Characters) {
    static const std::string kLong = "\n" + std::string(100, 'x') + "\nrest";
    static const StringResource kStrings[] = {{40100, kLong.c_str()}};
    InstallResources({kStrings, {}, {}, {}});
    EXPECT_EQ(m_pMain->GetToolTipText(40100), QString(79, QLatin1Char('x')));
    EXPECT_EQ(m_pMain->GetToolTipText(40101), QString());
    EXPECT_EQ(m_pMain->GetToolTipText(0), QString());
    InstallShellResources();
}

// Catches commands without a handler staying enabled, and About and Exit being disabled
// although the application object handles them.
TEST_F(MainWindow, UnhandledCommandsAreDisabled) {
    m_pMain->OnIdleUpdateCmdUI();
    EXPECT_FALSE(m_pMain->m_toolBar.GetButton(ID_FILE_SAVE)->isEnabled());
    EXPECT_FALSE(m_pMain->m_toolBar.GetButton(ID_FILE_GRAB)->isEnabled());
    EXPECT_TRUE(m_pMain->m_toolBar.GetButton(ID_FILE_START)->isEnabled());
    for (int i = 0; i < 5; ++i) {
        OpenPopup(i);
    }
    EXPECT_FALSE(MenuItem(ID_FILE_GRAB)->isEnabled());
    EXPECT_FALSE(MenuItem(ID_SETTINGS_DIALOG)->isEnabled());
    EXPECT_TRUE(MenuItem(ID_FILE_START)->isEnabled());
    EXPECT_TRUE(MenuItem(ID_APP_EXIT)->isEnabled());
    EXPECT_TRUE(MenuItem(ID_HELP_ABOUT)->isEnabled());
    EXPECT_TRUE(MenuItem(ID_VIEW_TOOLBAR)->isEnabled());
}

// Catches a toggle that does not hide or show its bar, check marks that do not follow,
// and a re-layout that moves the status bar into the freed space.
TEST_F(MainWindow, BarTogglesWithCheckMarks) {
    const QRect rcStatus = m_pMain->m_statusBar.GetSafeHwnd()->geometry();
    OpenPopup(1);
    EXPECT_TRUE(MenuItem(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(MenuItem(ID_VIEW_STATUS_BAR)->isChecked());
    EXPECT_TRUE(m_pMain->SendCommand(ID_VIEW_TOOLBAR));
    OpenPopup(1);
    EXPECT_FALSE(m_pMain->m_toolBar.IsWindowVisible());
    EXPECT_FALSE(MenuItem(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_EQ(m_pMain->m_statusBar.GetSafeHwnd()->geometry(), rcStatus);
    EXPECT_TRUE(m_pMain->SendCommand(ID_VIEW_STATUS_BAR));
    OpenPopup(1);
    EXPECT_FALSE(m_pMain->m_statusBar.IsWindowVisible());
    EXPECT_FALSE(MenuItem(ID_VIEW_STATUS_BAR)->isChecked());
    m_pMain->SendCommand(ID_VIEW_TOOLBAR);
    m_pMain->SendCommand(ID_VIEW_STATUS_BAR);
    OpenPopup(1);
    EXPECT_TRUE(MenuItem(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(MenuItem(ID_VIEW_STATUS_BAR)->isChecked());
    EXPECT_EQ(m_pMain->m_statusBar.GetSafeHwnd()->geometry(), rcStatus);
}

// Catches an outer size that does not map to the documented client area, which the
// viewer's fixed client positions rely on.
TEST_F(MainWindow, OuterSizeMapsOntoClientArea) {
    m_pMain->SetWindowPos(100, 50, 264, 351);
    EXPECT_EQ(m_pMain->GetClientRect(), QRect(0, 0, 256, 307));
    EXPECT_EQ(m_pMain->GetWindowRect().size(), QSize(264, 351));
    EXPECT_EQ(m_pMain->GetWindowRect().topLeft(), QPoint(100, 50));
}

// Catches F5 not reaching Start through the accelerator table.
TEST_F(MainWindow, F5RunsStart) {
    m_pWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pWindow));
    QTest::keyClick(m_pWindow, Qt::Key_F5);
    EXPECT_EQ(m_nStarts, 1);
}

struct ClosingKey {
    Qt::Key key;
    const char* name;
};

void PrintTo(const ClosingKey& c, std::ostream* os) {
    *os << c.name;
}

class ClosingKeys : public MainWindow, public ::testing::WithParamInterface<ClosingKey> {};

// Catches Enter or Escape leaving the main window open, the object not deleting itself,
// or the application still holding the destroyed window.
TEST_P(ClosingKeys, CloseMainWindow) {
    QTest::keyClick(m_pWindow, GetParam().key);
    ProcessEvents();
    EXPECT_TRUE(m_pWindow.isNull());
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Keys, ClosingKeys,
                         ::testing::Values(ClosingKey{Qt::Key_Return, "Return"},
                                           ClosingKey{Qt::Key_Enter, "Enter"},
                                           ClosingKey{Qt::Key_Escape, "Escape"}));

// Catches a greyed item keeping the previous item's prompt: the pointer resting on it
// shows its own.
TEST_F(MainWindow, DisabledItemShowsItsOwnPrompt) {
    QMenu* pFile = Popup(0);
    pFile->popup(m_pWindow->mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pFile));
    QAction* pStart = MenuItem(ID_FILE_START);
    QAction* pSave = MenuItem(ID_FILE_SAVE);
    ASSERT_TRUE(pStart->isEnabled());
    ASSERT_FALSE(pSave->isEnabled());  // this window has no Save handler
    QTest::mouseMove(pFile, pFile->actionGeometry(pStart).center());
    ProcessEvents();
    const QString startPrompt = m_pMain->m_statusBar.GetWindowText();
    QTest::mouseMove(pFile, pFile->actionGeometry(pSave).center());
    ProcessEvents();
    EXPECT_NE(m_pMain->m_statusBar.GetWindowText(), startPrompt);
    pFile->close();
    ProcessEvents();
}

// Catches bars that let a picture below them show through (the last rows of the picture
// appeared in the status bar): a layer of a colour no artwork uses must not be seen in them.
TEST_F(MainWindow, BarsAreOpaque) {
    const QColor kUnderneath(1, 254, 3);
    auto* pPicture = new QWidget(m_pMain->GetClientWidget());
    pPicture->setAutoFillBackground(true);
    QPalette palette = pPicture->palette();
    palette.setColor(QPalette::Window, kUnderneath);
    pPicture->setPalette(palette);
    pPicture->setGeometry(m_pMain->GetClientWidget()->rect());
    pPicture->lower();
    pPicture->show();
    const QImage shot = m_pMain->GetClientWidget()->grab().toImage();
    for (QWidget* pBar : {static_cast<QWidget*>(m_pMain->m_statusBar.GetSafeHwnd()),
                          static_cast<QWidget*>(m_pMain->m_toolBar.GetSafeHwnd())}) {
        const QRect bar = pBar->geometry();
        int shown = 0;
        for (int y = bar.top(); y <= bar.bottom(); ++y) {
            for (int x = bar.left(); x <= bar.right(); ++x) {
                shown += shot.pixelColor(x, y) == kUnderneath ? 1 : 0;
            }
        }
        EXPECT_EQ(shown, 0) << pBar->objectName().toStdString();
    }
}

class KeysAfterMenu : public MainWindow, public ::testing::WithParamInterface<Qt::Key> {};

// Catches the menu bar keeping the keyboard after a menu was used from it, so that Escape
// and Enter no longer close the main window.
TEST_P(KeysAfterMenu, StillCloseTheMainWindow) {
    m_pWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pWindow));
    QTest::keyClick(m_pWindow, Qt::Key_F, Qt::AltModifier);
    ProcessEvents();
    QWidget* pPopup = QApplication::activePopupWidget();
    ASSERT_NE(pPopup, nullptr);
    QTest::keyClick(pPopup, Qt::Key_Escape);
    ProcessEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
    QWidget* pFocus = QApplication::focusWidget();
    QTest::keyClick(pFocus != nullptr ? pFocus : m_pWindow.data(), GetParam());
    ProcessEvents();
    EXPECT_TRUE(m_pWindow.isNull());
}

INSTANTIATE_TEST_SUITE_P(Keys, KeysAfterMenu, ::testing::Values(Qt::Key_Return, Qt::Key_Escape));

// Catches Exit not closing the main window through the application object.
TEST_F(MainWindow, ExitClosesTheWindow) {
    MenuItem(ID_APP_EXIT)->trigger();
    ProcessEvents();
    EXPECT_TRUE(m_pWindow.isNull());
}

// Catches a missing toolbar picture strip being reported as loaded, and the pictures not
// being swapped for the running strip.
TEST_F(MainWindow, PictureStripsSwap) {
    EXPECT_FALSE(m_pMain->m_toolBar.LoadBitmap(999));
    const QImage before =
        m_pMain->m_toolBar.GetButton(ID_FILE_START)->icon().pixmap(16, 16).toImage();
    EXPECT_TRUE(m_pMain->m_toolBar.LoadBitmap(IDB_TOOLBAR_RUNNING));
    const QImage running =
        m_pMain->m_toolBar.GetButton(ID_FILE_START)->icon().pixmap(16, 16).toImage();
    EXPECT_NE(before, running);
    EXPECT_TRUE(m_pMain->m_toolBar.LoadBitmap(IDB_TOOLBAR_IDLE));
    EXPECT_EQ(m_pMain->m_toolBar.GetButton(ID_FILE_START)->icon().pixmap(16, 16).toImage(), before);
}

}  // namespace
