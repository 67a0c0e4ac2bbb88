#include "shell/FrameStatusBar.h"

#include <QHBoxLayout>

#include "platform/ui/CmdUI.h"
#include "shell/StatusPane.h"

namespace {

constexpr int kPaneGap = 2;

// The pane shows the text on one line; a line feed reads as a blank.
QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return shown.trimmed();
}

// Update state applied to a status pane: disabled panes show no text.
class CPaneCmdUI : public CCmdUI {
  public:
    CPaneCmdUI(CFrameStatusBar* pBar, int nIndex, unsigned nID)
        : CCmdUI(nID), m_pBar(pBar), m_nIndex(nIndex) {}
    void Enable(bool bOn) override {
        CCmdUI::Enable(bOn);
        m_pBar->EnablePane(m_nIndex, bOn);
    }
    void SetText(const QString& text) override { m_pBar->SetPaneText(m_nIndex, text); }

  private:
    CFrameStatusBar* m_pBar;
    int m_nIndex;
};

}  // namespace

CFrameStatusBar::~CFrameStatusBar() {
    delete m_pWnd.data();
}

bool CFrameStatusBar::Create(QWidget* pParent, unsigned nID) {
    if (pParent == nullptr || m_pWnd) {
        return false;
    }
    m_nID = nID;
    m_pWnd = new QWidget(pParent);
    m_pWnd->setObjectName(QStringLiteral("statusBar"));
    // Opaque: the picture below the bar must not show through it.
    m_pWnd->setAutoFillBackground(true);
    auto* pLayout = new QHBoxLayout(m_pWnd);
    pLayout->setContentsMargins(kPaneGap, kPaneGap, kPaneGap, 1);
    pLayout->setSpacing(kPaneGap);
    m_pWnd->resize(pParent->width(), GetHeight());
    m_pWnd->show();
    return true;
}

bool CFrameStatusBar::SetIndicators(const unsigned* pIDs, int nCount) {
    if (!m_pWnd) {
        return false;
    }
    for (Pane& pane : m_panes) {
        delete pane.pPane;
    }
    m_panes.clear();
    for (int i = 0; i < nCount; ++i) {
        auto* pPane = new CStatusPane(m_pWnd);
        m_panes.push_back({pIDs[i], SBPS_STRETCH, QString(), pPane});
    }
    RebuildLayout();
    return true;
}

void CFrameStatusBar::SetPaneInfo(int nIndex, unsigned nID, unsigned nStyle, int cxWidth) {
    if (nIndex < 0 || nIndex >= GetCount()) {
        return;
    }
    Pane& pane = m_panes[nIndex];
    pane.nID = nID;
    pane.nStyle = nStyle;
    if (nStyle & SBPS_STRETCH) {
        pane.pPane->setMinimumWidth(1);
        pane.pPane->setMaximumWidth(QWIDGETSIZE_MAX);
    } else {
        pane.pPane->setFixedWidth(cxWidth);
    }
    RebuildLayout();
}

unsigned CFrameStatusBar::GetItemID(int nIndex) const {
    return nIndex >= 0 && nIndex < GetCount() ? m_panes[nIndex].nID : 0;
}

int CFrameStatusBar::GetPaneWidth(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount()) {
        return 0;
    }
    const CStatusPane* pPane = m_panes[nIndex].pPane;
    return pPane->maximumWidth() == pPane->minimumWidth() ? pPane->minimumWidth() : pPane->width();
}

bool CFrameStatusBar::SetPaneText(int nIndex, const QString& text) {
    if (nIndex < 0 || nIndex >= GetCount()) {
        return false;
    }
    m_panes[nIndex].text = text;
    m_panes[nIndex].pPane->SetText(DisplayText(text));
    return true;
}

void CFrameStatusBar::SetPaneTip(int nIndex, const QString& tip) {
    if (nIndex >= 0 && nIndex < GetCount()) {
        m_panes[nIndex].pPane->SetTip(tip);
    }
}

void CFrameStatusBar::EnablePane(int nIndex, bool bOn) {
    if (nIndex >= 0 && nIndex < GetCount()) {
        m_panes[nIndex].pPane->setEnabled(bOn);
    }
}

QString CFrameStatusBar::GetPaneText(int nIndex) const {
    return nIndex >= 0 && nIndex < GetCount() ? m_panes[nIndex].text : QString();
}

int CFrameStatusBar::GetHeight() const {
    // What one line of text in the sunken panes needs, never lower than the classic 20 pixels.
    // Each pane is polished first: a style sheet's font reaches it only then, and the window
    // is laid out before it is first shown.
    for (const Pane& pane : m_panes) {
        pane.pPane->ensurePolished();
    }
    const int cyPanes = m_pWnd ? m_pWnd->layout()->minimumSize().height() : 0;
    return std::max(20, cyPanes);
}

void CFrameStatusBar::OnIdleUpdateCmdUI(CCmdTarget* pTarget, bool bDisableIfNoHndler) {
    if (!IsWindowVisible()) {
        return;
    }
    for (int i = 0; i < GetCount(); ++i) {
        if (m_panes[i].nID == 0) {
            continue;
        }
        CPaneCmdUI state(this, i, m_panes[i].nID);
        state.DoUpdate(pTarget, bDisableIfNoHndler);
    }
}

void CFrameStatusBar::RebuildLayout() {
    auto* pLayout = static_cast<QHBoxLayout*>(m_pWnd->layout());
    while (pLayout->count() > 0) {
        delete pLayout->takeAt(0);
    }
    for (const Pane& pane : m_panes) {
        pLayout->addWidget(pane.pPane, (pane.nStyle & SBPS_STRETCH) ? 1 : 0);
    }
}
