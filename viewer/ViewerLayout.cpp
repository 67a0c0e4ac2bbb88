#include "viewer/ViewerLayout.h"

#include <algorithm>

#include "viewer/WindowServices.h"

WindowLayout ComputeWindowLayout(int width, int height, int cyStatusBarText, int cxScreen,
                                 int cyScreen, bool bHistogramHidden) {
    const int cyStatusBar = std::max(kStatusBarHeight, cyStatusBarText);
    WindowLayout layout;
    layout.cxWindow = width + 8;
    layout.cyWindow = height + 95 + cyStatusBar - kStatusBarHeight;
    layout.xWindow = cxScreen / 2 - layout.cxWindow / 2;
    layout.yWindow = cyScreen / 2 - layout.cyWindow / 2;

    int statusTop = height + kToolbarBand + 8;
    if (!bHistogramHidden) {
        statusTop += kHistogramHeight;
        layout.xWindow -= 100;
        layout.cyWindow += kHistogramHeight;
    }
    layout.statusBar = {0, statusTop, kStatusBarWidth, statusTop + cyStatusBar};
    return layout;
}

ViewerRect ImageAreaRect(int width, int height) {
    return {0, kToolbarBand + 8, width, height + kToolbarBand + 8};
}

void CViewerGeometry::LayoutWindow(CWindowServices& window, int width, int height,
                                   bool bHistogramHidden) {
    m_cyToolbar = kToolbarBand;
    m_cxScreen = window.ScreenWidth();
    m_cyScreen = window.ScreenHeight();
    const WindowLayout layout = ComputeWindowLayout(width, height, window.StatusBarTextHeight(),
                                                    m_cxScreen, m_cyScreen, bHistogramHidden);
    m_cxStatusBar = layout.statusBar.Width();
    m_cyStatusBar = layout.statusBar.Height();
    m_cxWindow = layout.cxWindow;
    m_cyWindow = layout.cyWindow;
    m_xWindow = layout.xWindow;
    m_yWindow = layout.yWindow;
    window.PlaceStatusBar(layout.statusBar.left, layout.statusBar.top, m_cxStatusBar,
                          m_cyStatusBar);
    window.PlaceWindow(m_xWindow, m_yWindow, m_cxWindow, m_cyWindow);
}
