#include "shell/StatusPane.h"

#include <QPainter>

namespace {

constexpr int kTextMargin = 2;  // between the sunken edge and the text

}  // namespace

CStatusPane::CStatusPane(QWidget* pParent) : QFrame(pParent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setMinimumWidth(1);
}

void CStatusPane::SetText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    UpdateToolTip();
    update();
}

QString CStatusPane::ShownText() const {
    return fontMetrics().elidedText(m_text, Qt::ElideRight, TextRect().width());
}

QSize CStatusPane::sizeHint() const {
    const int margins = 2 * (frameWidth() + kTextMargin);
    return {fontMetrics().horizontalAdvance(m_text) + margins, fontMetrics().height() + margins};
}

QSize CStatusPane::minimumSizeHint() const {
    return {1, fontMetrics().height() + 2 * frameWidth()};
}

void CStatusPane::paintEvent(QPaintEvent* pEvent) {
    QFrame::paintEvent(pEvent);
    if (!isEnabled()) {
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(TextRect(), Qt::AlignLeft | Qt::AlignVCenter, ShownText());
}

void CStatusPane::resizeEvent(QResizeEvent* pEvent) {
    QFrame::resizeEvent(pEvent);
    UpdateToolTip();
}

QRect CStatusPane::TextRect() const {
    return contentsRect().adjusted(kTextMargin, 0, -kTextMargin, 0);
}

void CStatusPane::SetTip(const QString& tip) {
    m_tip = tip;
    UpdateToolTip();
}

void CStatusPane::UpdateToolTip() {
    if (!m_tip.isEmpty()) {
        setToolTip(m_tip);
        return;
    }
    setToolTip(ShownText() == m_text ? QString() : m_text);
}
