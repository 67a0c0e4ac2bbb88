#include "platform/ui/GroupBox.h"

#include <QPainter>

void CGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const QRect rcFrame = rect().adjusted(0, metrics.height() / 2, -2, -2);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rcFrame);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(rcFrame.translated(1, 1));
    if (title().isEmpty()) {
        return;
    }
    const QRect rcTitle(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
    painter.fillRect(rcTitle, palette().window());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(rcTitle, Qt::AlignCenter, title());
}
