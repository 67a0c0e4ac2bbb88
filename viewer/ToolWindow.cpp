#include "viewer/ToolWindow.h"

#include <QScreen>
#include <algorithm>

namespace {

constexpr int kRefreshMs = 100;  // ten times a second at most
constexpr int kGap = 8;          // between the main window's frame and a tool window's

}  // namespace

CToolWindow::CToolWindow(QWidget* pMain, const QString& title, std::initializer_list<Side> sides)
    : QWidget(pMain, Qt::Tool), m_pMain(pMain), m_sides(sides) {
    setWindowTitle(title);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
}

void CToolWindow::Toggle() {
    if (isVisible()) {
        hide();
    } else {
        ShowBesideMain();
    }
}

void CToolWindow::ShowBesideMain() {
    show();
    if (m_pMain) {
        adjustSize();
        const QRect screen =
            m_pMain->screen() != nullptr ? m_pMain->screen()->availableGeometry() : QRect();
        move(PlaceBeside(m_pMain->frameGeometry(), frameGeometry().size(), screen, m_sides));
    }
    raise();
}

QPoint CToolWindow::PlaceBeside(const QRect& main, const QSize& size, const QRect& screen,
                                std::span<const Side> sides) {
    const QPoint right(main.right() + 1 + kGap, main.top());
    const QPoint left(main.left() - kGap - size.width(), main.top());
    const QPoint below(main.left(), main.bottom() + 1 + kGap);
    const auto at = [&](Side side) {
        return side == Side::kRight ? right : side == Side::kLeft ? left : below;
    };
    if (screen.isEmpty() || sides.empty()) {
        return sides.empty() ? right : at(sides.front());
    }
    for (Side side : sides) {
        if (screen.contains(QRect(at(side), size))) {
            return at(side);
        }
    }
    const int roomRight = screen.right() - main.right();
    const int roomLeft = main.left() - screen.left();
    const int y = std::clamp(main.top(), screen.top(),
                             std::max(screen.top(), screen.bottom() + 1 - size.height()));
    return roomRight >= roomLeft ? QPoint(right.x(), y) : QPoint(left.x(), y);
}

void CToolWindow::showEvent(QShowEvent* pEvent) {
    QWidget::showEvent(pEvent);
    OnShown();
    Refresh();
    m_timer.start();
}

void CToolWindow::hideEvent(QHideEvent* pEvent) {
    m_timer.stop();
    OnHidden();
    QWidget::hideEvent(pEvent);
}
