#pragma once

#include "viewer/ViewerTypes.h"

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
