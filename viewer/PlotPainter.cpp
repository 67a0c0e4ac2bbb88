#include "viewer/PlotPainter.h"

namespace {

const QColor kGridColour(225, 225, 225);

}  // namespace

PlotChannel LevelCountsChannel(int channels, int row) {
    static constexpr PlotChannel kRows[3] = {PlotChannel::kBlue, PlotChannel::kGreen,
                                             PlotChannel::kRed};
    return channels == 1 ? PlotChannel::kGrey : kRows[row];
}

PlotChannel SeriesChannel(int channels, int k) {
    static constexpr PlotChannel kEntries[3] = {PlotChannel::kRed, PlotChannel::kGreen,
                                                PlotChannel::kBlue};
    return channels == 1 ? PlotChannel::kGrey : kEntries[k];
}

QColor PlotChannelColour(PlotChannel channel) {
    switch (channel) {
        case PlotChannel::kRed:
            return {220, 40, 30};
        case PlotChannel::kGreen:
            return {20, 160, 40};
        case PlotChannel::kBlue:
            return {30, 80, 230};
        case PlotChannel::kGrey:
            break;
    }
    return {40, 40, 40};
}

void UsePlotBackground(QWidget& widget) {
    widget.setAutoFillBackground(true);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget.setPalette(palette);
}

CPlotPainter::CPlotPainter(QWidget& widget, Margins margins)
    : m_painter(&widget),
      m_area(margins.left, margins.top, widget.width() - margins.left - margins.right,
             widget.height() - margins.top - margins.bottom),
      m_metrics(widget.font()) {
    m_painter.setRenderHint(QPainter::Antialiasing);
}

void CPlotPainter::RowLine(double y, const QString& label) {
    m_painter.setPen(kGridColour);
    m_painter.drawLine(QPointF(m_area.left(), y), QPointF(m_area.right(), y));
    m_painter.setPen(Qt::black);
    m_painter.drawText(QPointF(m_area.left() - 4 - m_metrics.horizontalAdvance(label),
                               y + m_metrics.ascent() / 2.0 - 1),
                       label);
}

void CPlotPainter::ColumnLine(double x) {
    m_painter.setPen(kGridColour);
    m_painter.drawLine(QPointF(x, m_area.top()), QPointF(x, m_area.bottom()));
}

void CPlotPainter::LabelBelow(double x, const QString& label) {
    m_painter.setPen(Qt::black);
    m_painter.drawText(QPointF(x - m_metrics.horizontalAdvance(label) / 2.0,
                               m_area.bottom() + m_metrics.ascent() + 3),
                       label);
}

void CPlotPainter::TitleBelow(const QString& title) {
    m_painter.setPen(Qt::black);
    m_painter.drawText(QRectF(m_area.left(), m_area.bottom() + m_metrics.height() + 2,
                              m_area.width(), m_metrics.height()),
                       Qt::AlignHCenter, title);
}

void CPlotPainter::TitleLeft(const QString& title) {
    m_painter.save();
    m_painter.setPen(Qt::black);
    m_painter.translate(12, m_area.center().y());
    m_painter.rotate(-90);
    m_painter.drawText(
        QRectF(-m_area.height() / 2, -m_metrics.ascent(), m_area.height(), m_metrics.height()),
        Qt::AlignHCenter, title);
    m_painter.restore();
}

void CPlotPainter::Frame() {
    m_painter.setPen(Qt::gray);
    m_painter.drawRect(m_area);
}

void CPlotPainter::Empty(const QString& text) {
    m_painter.setPen(Qt::darkGray);
    m_painter.drawText(m_area, Qt::AlignCenter, text);
}

void CPlotPainter::Curve(const QPainterPath& path, QColor colour, Qt::PenStyle style) {
    m_painter.setPen(QPen(colour, 1.4, style));
    m_painter.drawPath(path);
}
