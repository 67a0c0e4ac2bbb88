#include "viewer/ViewerLayout.h"

#include <algorithm>

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
