#include "shell/ControlBar.h"

#include <QWidget>

void CControlBar::SetWindowPos(int x, int y, int cx, int cy) {
    if (QWidget* pWnd = BarWidget()) {
        pWnd->setGeometry(x, y, cx, cy);
    }
}

bool CControlBar::IsWindowVisible() const {
    const QWidget* pWnd = BarWidget();
    return pWnd != nullptr && pWnd->isVisible();
}

void CControlBar::ShowWindow(bool bShow) {
    if (QWidget* pWnd = BarWidget()) {
        pWnd->setVisible(bShow);
    }
}
