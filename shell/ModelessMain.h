#pragma once

// The dialog-based main window: a modeless dialog from a template with a menu, to which
// Create adds a toolbar along the top and a status bar along the bottom, status prompts for
// menu items and toolbar buttons, tool tips, command-update of menu items and buttons, the
// Status Bar and Toolbar toggles and the window icon.
//
// Use: derive, register handlers in the constructor, create with new and call Create:
//
//     class CMyMain : public CModelessMain {
//     public:
//         CMyMain() {
//             ON_COMMAND(ID_FILE_START, &CMyMain::OnFileStart);
//             ON_UPDATE_COMMAND_UI(ID_FILE_START, &CMyMain::OnUpdateFileStart);
//         }
//         bool OnInitDialog() override {
//             CModelessMain::OnInitDialog();  // bars first
//             SetWindowPos(x, y, 264, 351);   // then the own layout
//             return true;
//         }
//         void OnDestroy() override;          // release what the window used
//         ...
//     };
//     auto* pMain = new CMyMain;   // deletes itself when its window is destroyed
//     pMain->Create(102, indicators, 2, buttons, 7, 102);
//
// A command goes to the window's own handlers (the most derived class's first), then, for
// ids 0x8000 to 0xEFFF, to the application object. A command without an update handler is
// enabled exactly when some handler exists along that route.
//
// Geometry (see CDialog): outer sizes map onto the toolkit window as client = outer minus
// 8 x 44 pixels, the client area being the part below the menu bar; GetClientWidget() is the
// parent for anything placed at client coordinates (the bars are children of it too).

#include <QIcon>

#include "shell/FrameStatusBar.h"
#include "shell/FrameToolBar.h"
#include "shell/ModelessDialog.h"
#include "shell/ToolBarOwner.h"

class CModelessMain : public CModelessDialog, public IToolBarOwner {
  public:
    CModelessMain();
    ~CModelessMain() override;

    // Loads icon nIDTemplate, keeps the arrays (not copied: they must outlive the window)
    // and creates the window, during which OnInitDialog runs. True when the window exists.
    bool Create(unsigned nIDTemplate, const unsigned* pIndicatorIds, int nIndicatorCount,
                const unsigned* pButtonIds, int nButtonCount, unsigned nToolbarBitmapId);

    bool OnInitDialog() override;

    // Shows string nID in the status bar (when it exists) and returns the id shown before.
    unsigned ShowPrompt(unsigned nID);
    unsigned OnSetMessageString(unsigned nID) { return ShowPrompt(nID); }
    unsigned OnPopMessageString(unsigned nID) { return OnSetMessageString(nID); }
    // The tool tip of command nID: the second line-feed field of its string, at most 79
    // characters.
    QString GetToolTipText(unsigned nID) const;

    void OnInitMenuPopup(QMenu* pPopupMenu, int nIndex, bool bSysMenu) override;
    void OnMenuSelect(unsigned nItemID, unsigned nFlags) override;
    void OnEnterIdle(unsigned nWhy) override;
    void OnIdleUpdateCmdUI() override;

    QIcon m_hIcon;
    unsigned m_nPendingPromptId = 0;
    unsigned m_nShownPromptId = 0;
    const unsigned* m_pIndicatorIds = nullptr;
    int m_nIndicatorCount = 0;
    CFrameStatusBar m_statusBar;
    const unsigned* m_pButtonIds = nullptr;
    int m_nButtonCount = 0;
    unsigned m_nToolbarBitmapId = 0;
    CFrameToolBar m_toolBar;

    QWidget* ToolBarParent() const override { return GetClientWidget(); }
    QString ToolBarTip(unsigned nID) const override { return GetToolTipText(nID); }
    void RunToolBarCommand(unsigned nID) override { SendCommand(nID); }
    void ShowToolBarPrompt(unsigned nID) override;

  protected:
    void OnViewStatusBar();
    void OnUpdateViewStatusBar(CCmdUI* pCmdUI);
    void OnViewToolbar();
    void OnUpdateViewToolbar(CCmdUI* pCmdUI);

  private:
    void LayoutBars();
};
