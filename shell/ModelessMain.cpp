#include "shell/ModelessMain.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QToolBar>
#include <QWidget>

#include "platform/ui/CmdUI.h"
#include "platform/ui/FrameworkIds.h"
#include "platform/ui/Resources.h"

namespace {

constexpr int kFirstPaneWidth = 160;
constexpr int kToolTipChars = 79;  // what fits the request's 80-character buffer
constexpr unsigned kSysCommandFirst = 0xF000;
constexpr unsigned kSysCommandEnd = 0xF1F0;

}  // namespace

CModelessMain::CModelessMain() {
    ON_COMMAND(ID_VIEW_STATUS_BAR, &CModelessMain::OnViewStatusBar);
    ON_UPDATE_COMMAND_UI(ID_VIEW_STATUS_BAR, &CModelessMain::OnUpdateViewStatusBar);
    ON_COMMAND(ID_VIEW_TOOLBAR, &CModelessMain::OnViewToolbar);
    ON_UPDATE_COMMAND_UI(ID_VIEW_TOOLBAR, &CModelessMain::OnUpdateViewToolbar);
}

CModelessMain::~CModelessMain() = default;

bool CModelessMain::Create(unsigned nIDTemplate, const unsigned* pIndicatorIds, int nIndicatorCount,
                           const unsigned* pButtonIds, int nButtonCount,
                           unsigned nToolbarBitmapId) {
    m_hIcon = LoadIconResource(nIDTemplate);
    m_pIndicatorIds = pIndicatorIds;
    m_nIndicatorCount = nIndicatorCount;
    m_pButtonIds = pButtonIds;
    m_nButtonCount = nButtonCount;
    m_nToolbarBitmapId = nToolbarBitmapId;
    return CDialog::Create(nIDTemplate, nullptr);
}

bool CModelessMain::OnInitDialog() {
    CModelessDialog::OnInitDialog();

    if (m_statusBar.Create(GetClientWidget(), ID_VIEW_STATUS_BAR)) {
        m_statusBar.SetIndicators(m_pIndicatorIds, m_nIndicatorCount);
        ShowPrompt(AFX_IDS_IDLEMESSAGE);
        m_statusBar.SetPaneInfo(0, m_statusBar.GetItemID(0), SBPS_NORMAL, kFirstPaneWidth);
    }
    if (m_toolBar.Create(this, ID_VIEW_TOOLBAR)) {
        m_toolBar.LoadBitmap(m_nToolbarBitmapId);
        m_toolBar.SetButtons(m_pButtonIds, m_nButtonCount);
    }
    m_toolBar.SetBarStyle(m_toolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC);

    LayoutBars();
    if (!m_hIcon.isNull()) {
        GetSafeHwnd()->setWindowIcon(m_hIcon);
    }
    CenterWindow();
    return true;
}

void CModelessMain::LayoutBars() {
    // The template's own controls move below the toolbar and the window grows by the
    // space both bars take.
    const QRect rcStart = GetClientRect();
    const int cyTop = m_toolBar.GetSafeHwnd() != nullptr ? m_toolBar.GetHeight() : 0;
    const int cyBottom = m_statusBar.GetSafeHwnd() != nullptr ? m_statusBar.GetHeight() : 0;
    for (QObject* pChild : GetClientWidget()->children()) {
        auto* pWidget = qobject_cast<QWidget*>(pChild);
        if (pWidget != nullptr && pWidget != m_toolBar.GetSafeHwnd() &&
            pWidget != m_statusBar.GetSafeHwnd()) {
            pWidget->move(pWidget->pos() + QPoint(0, cyTop));
        }
    }
    const QRect rcWindow = GetWindowRect();
    SetWindowPos(rcWindow.x(), rcWindow.y(), rcWindow.width(),
                 rcWindow.height() + cyTop + cyBottom);
    const int cxClient = rcStart.width();
    m_toolBar.SetWindowPos(0, 0, cxClient, cyTop);
    m_statusBar.SetWindowPos(0, rcStart.height() + cyTop, cxClient, cyBottom);
}

unsigned CModelessMain::ShowPrompt(unsigned nID) {
    QString str;
    if (nID != 0 && m_statusBar.GetSafeHwnd() != nullptr && LoadResString(nID, str)) {
        m_statusBar.SetWindowText(str);
    }
    const unsigned nPrevious = m_nShownPromptId;
    m_nShownPromptId = nID;
    m_nPendingPromptId = nID;
    return nPrevious;
}

QString CModelessMain::GetToolTipText(unsigned nID) const {
    QString str;
    if (nID != 0 && LoadResString(nID, str)) {
        return ExtractSubString(str, 1).left(kToolTipChars);
    }
    return QString();
}

void CModelessMain::OnInitMenuPopup(QMenu* pPopupMenu, int, bool bSysMenu) {
    if (bSysMenu) {
        return;
    }
    const QList<QAction*> items = pPopupMenu->actions();
    for (QAction* pItem : items) {
        if (pItem->isSeparator()) {
            continue;
        }
        if (QMenu* pSubMenu = pItem->menu()) {
            // A pop-up entry takes the state of its sub-menu's first command.
            const QList<QAction*> subItems = pSubMenu->actions();
            if (!subItems.isEmpty() && !subItems.first()->isSeparator() &&
                subItems.first()->menu() == nullptr) {
                CActionCmdUI state(pItem, subItems.first()->data().toUInt());
                state.DoUpdate(this, false);
            }
            continue;
        }
        const unsigned nID = pItem->data().toUInt();
        CActionCmdUI state(pItem, nID);
        state.DoUpdate(this, nID < kSysCommandFirst);
    }
}

void CModelessMain::OnMenuSelect(unsigned nItemID, unsigned nFlags) {
    if (nFlags == kMenuClosedFlags) {
        m_nPendingPromptId = AFX_IDS_IDLEMESSAGE;
        ShowPrompt(AFX_IDS_IDLEMESSAGE);
    } else if (nItemID == 0 ||
               (nFlags & (MF_SEPARATOR | MF_POPUP | MF_MENUBREAK | MF_MENUBARBREAK))) {
        m_nPendingPromptId = 0;
    } else if (nItemID >= kSysCommandFirst && nItemID < kSysCommandEnd) {
        m_nPendingPromptId = AFX_IDS_SCFIRST + ((nItemID - kSysCommandFirst) >> 4);
    } else {
        m_nPendingPromptId = nItemID;
    }
}

void CModelessMain::OnEnterIdle(unsigned nWhy) {
    if (nWhy == MSGF_MENU && m_nPendingPromptId != m_nShownPromptId) {
        ShowPrompt(m_nPendingPromptId);
    }
}

void CModelessMain::OnIdleUpdateCmdUI() {
    m_toolBar.OnIdleUpdateCmdUI(this, true);
    m_statusBar.OnIdleUpdateCmdUI(this, true);
}

void CModelessMain::ShowToolBarPrompt(unsigned nID) {
    if (nID == 0) {
        OnPopMessageString(AFX_IDS_IDLEMESSAGE);
    } else {
        OnSetMessageString(nID);
    }
}

void CModelessMain::OnViewStatusBar() {
    m_statusBar.ShowWindow(!m_statusBar.IsWindowVisible());
}

void CModelessMain::OnUpdateViewStatusBar(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_statusBar.IsWindowVisible() ? 1 : 0);
}

void CModelessMain::OnViewToolbar() {
    m_toolBar.ShowWindow(!m_toolBar.IsWindowVisible());
}

void CModelessMain::OnUpdateViewToolbar(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_toolBar.IsWindowVisible() ? 1 : 0);
}
