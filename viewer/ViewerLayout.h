#pragma once

#include "viewer/ViewerTypes.h"

class CWindowServices;

inline constexpr int kToolbarBand = 23;      // m_cyToolbar
inline constexpr int kStatusBarWidth = 256;  // m_cxStatusBar
inline constexpr int kStatusBarHeight = 20;  // m_cyStatusBar
inline constexpr int kHistogramHeight = 100;

// The outer window and status bar placement that LayoutWindow applies.
struct WindowLayout {
    int xWindow = 0;
    int yWindow = 0;
    int cxWindow = 0;
    int cyWindow = 0;
    ViewerRect statusBar;

    bool operator==(const WindowLayout&) const = default;
};

// cyStatusBarText is the height the status bar needs for one line of its font: a font too
// large for the classic 20 pixels gets that height and the window grows by what it adds. The
// menu bar's own growth is outside these outer sizes (see README).
WindowLayout ComputeWindowLayout(int width, int height, int cyStatusBarText, int cxScreen,
                                 int cyScreen, bool bHistogramHidden);

// The image area (from y 31) and the top of a drawn frame (33).
ViewerRect ImageAreaRect(int width, int height);
inline constexpr int kFrameTop = kToolbarBand + 10;

// The viewer window's geometry as the last layout left it: the outer window, the toolbar
// band, the status bar, the image area and the client area a run draws into. Window thread
// only; a run takes the client area at Start.
class CViewerGeometry {
  public:
    // Sizes and centres the window for a picture of width x height on the window's screen,
    // and places the status bar under the picture (or under the histogram).
    void LayoutWindow(CWindowServices& window, int width, int height, bool bHistogramHidden);
    void LayoutImageArea(int width, int height) { m_rcImage = ImageAreaRect(width, height); }
    void TakeClientRect(const ViewerRect& client) { m_rcClient = client; }

    const ViewerRect& ImageArea() const { return m_rcImage; }
    const ViewerRect& ClientArea() const { return m_rcClient; }

  private:
    ViewerRect m_rcImage;
    ViewerRect m_rcClient;
    int m_cyToolbar = kToolbarBand;
    int m_cxStatusBar = kStatusBarWidth;
    int m_cyStatusBar = kStatusBarHeight;
    int m_cxWindow = 0;
    int m_cyWindow = 0;
    int m_xWindow = 0;
    int m_yWindow = 0;
    int m_cxScreen = 0;
    int m_cyScreen = 0;
};
