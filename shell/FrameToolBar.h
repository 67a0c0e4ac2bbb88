#pragma once

#include "shell/ControlBar.h"

#include <QPixmap>
#include <QPointer>
#include <vector>

class CCmdTarget;
class IToolBarOwner;
class QAction;
#include <QToolBar>

// Bar styles the main window adds to its toolbar.
inline constexpr unsigned CBRS_SIZE_DYNAMIC = 0x0004;
inline constexpr unsigned CBRS_TOOLTIPS = 0x0010;
inline constexpr unsigned CBRS_FLYBY = 0x0020;

// The toolbar along the top of the main window: buttons from a list of command ids
// (0 = separator) with 16 x 16 pictures cut from one picture strip. Where the strip has them,
// its forms drawn at twice the scale and with a halo for dark palettes are used too: the
// former on screens of twice the density, the latter while the bar's palette is dark.
class CFrameToolBar : public CControlBar {
  public:
    CFrameToolBar() = default;
    ~CFrameToolBar();
    CFrameToolBar(const CFrameToolBar&) = delete;
    CFrameToolBar& operator=(const CFrameToolBar&) = delete;

    // A visible bar in pOwner's client area with the given child id.
    bool Create(IToolBarOwner* pOwner, unsigned nID);
    // Replaces the pictures by those of strip nIDBitmap, in order over the buttons that are
    // not separators. False when the strip does not exist.
    bool LoadBitmap(unsigned nIDBitmap);
    // Picks the pictures' form again after the bar's palette changed.
    void ApplyPictures();
    bool SetButtons(const unsigned* pIDs, int nCount);

    unsigned GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(unsigned dwStyle) { m_dwStyle = dwStyle; }

    // The button of command nID (the first one), or null.
    QAction* GetButton(unsigned nID) const;
    int GetCount() const { return static_cast<int>(m_buttons.size()); }
    unsigned GetItemID(int nIndex) const;

    int GetHeight() const;
    QToolBar* GetSafeHwnd() const { return m_pWnd; }
    unsigned GetDlgCtrlID() const { return m_nID; }

    // Idle update of the buttons against pTarget's routing.
    void OnIdleUpdateCmdUI(CCmdTarget* pTarget, bool bDisableIfNoHndler);

  protected:
    QWidget* BarWidget() const override { return m_pWnd; }

  private:
    QPointer<QToolBar> m_pWnd;
    IToolBarOwner* m_pOwner = nullptr;
    unsigned m_nID = 0;
    unsigned m_dwStyle = 0;
    std::vector<std::pair<unsigned, QAction*>> m_buttons;
    // The strip as drawn, at twice the scale, and both with the dark palette's halo.
    QPixmap m_strip;
    QPixmap m_strip2x;
    QPixmap m_darkStrip;
    QPixmap m_darkStrip2x;
};
