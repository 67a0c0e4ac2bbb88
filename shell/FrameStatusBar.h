#pragma once

#include "shell/ControlBar.h"

#include <QPointer>
#include <QString>
#include <vector>

class CCmdTarget;
class CStatusPane;
class QWidget;

// Pane styles.
inline constexpr unsigned SBPS_NORMAL = 0x0000;
inline constexpr unsigned SBPS_STRETCH = 0x0800;

// The status bar: a row of text panes along the bottom of the main window. Pane texts are
// kept whole, line feeds included; a pane shows them on one line.
class CFrameStatusBar : public CControlBar {
  public:
    CFrameStatusBar() = default;
    ~CFrameStatusBar();
    CFrameStatusBar(const CFrameStatusBar&) = delete;
    CFrameStatusBar& operator=(const CFrameStatusBar&) = delete;

    // A visible bar inside pParent (the main window's client area) with the given child id.
    bool Create(QWidget* pParent, unsigned nID);
    // One pane per id; id 0 gives a text pane without fixed text.
    bool SetIndicators(const unsigned* pIDs, int nCount);
    void SetPaneInfo(int nIndex, unsigned nID, unsigned nStyle, int cxWidth);
    unsigned GetItemID(int nIndex) const;
    int GetPaneWidth(int nIndex) const;  // outer width of the pane in pixels
    int GetCount() const { return static_cast<int>(m_panes.size()); }

    // Text of the first pane.
    void SetWindowText(const QString& text) { SetPaneText(0, text); }
    QString GetWindowText() const { return GetPaneText(0); }
    bool SetPaneText(int nIndex, const QString& text);
    QString GetPaneText(int nIndex) const;
    // A tool tip the pane always shows (empty: the whole text when it does not fit).
    void SetPaneTip(int nIndex, const QString& tip);
    void EnablePane(int nIndex, bool bOn);

    // The height one line of pane text needs, never lower than the classic 20 pixels.
    int GetHeight() const;
    QWidget* GetSafeHwnd() const { return m_pWnd; }
    unsigned GetDlgCtrlID() const { return m_nID; }

    // Idle update of the panes against pTarget's routing (panes with id 0 take none).
    void OnIdleUpdateCmdUI(CCmdTarget* pTarget, bool bDisableIfNoHndler);

  protected:
    QWidget* BarWidget() const override { return m_pWnd; }

  private:
    struct Pane {
        unsigned nID;
        unsigned nStyle;
        QString text;
        CStatusPane* pPane;
    };
    void RebuildLayout();

    QPointer<QWidget> m_pWnd;
    unsigned m_nID = 0;
    std::vector<Pane> m_panes;
};
