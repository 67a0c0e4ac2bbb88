#include "viewer/LevelPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kLeft = 52;
constexpr int kRight = 10;
constexpr int kTop = 10;
constexpr int kBottom = 34;

QColor ChannelColor(int channels, int row) {
    if (channels == 1) {
        return QColor(40, 40, 40);
    }
    static const QColor kColors[3] = {QColor(30, 80, 230), QColor(20, 160, 40),
                                      QColor(220, 40, 30)};
    return kColors[row];
}

QString CountLabel(double count) {
    if (count >= 1e6) {
        return QStringLiteral("%1M").arg(count / 1e6, 0, 'g', 3);
    }
    if (count >= 1e4) {
        return QStringLiteral("%1k").arg(count / 1e3, 0, 'g', 3);
    }
    return QString::number(count, 'g', 4);
}

}  // namespace

CLevelPlot::CLevelPlot(QWidget* pParent) : QWidget(pParent) {
    setMinimumSize(280, 160);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

void CLevelPlot::SetCounts(const LevelCounts& counts) {
    m_counts = counts;
    m_bHasCounts = true;
    update();
}

void CLevelPlot::Clear() {
    m_bHasCounts = false;
    update();
}

void CLevelPlot::SetLogarithmic(bool bLogarithmic) {
    m_bLogarithmic = bLogarithmic;
    update();
}

void CLevelPlot::SetChannelShown(int row, bool bShown) {
    m_bChannelShown[row] = bShown;
    update();
}

void CLevelPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plot(kLeft, kTop, width() - kLeft - kRight, height() - kTop - kBottom);
    std::uint32_t maxCount = 0;
    if (m_bHasCounts) {
        for (int row = 0; row < m_counts.channels; ++row) {
            maxCount = std::max(maxCount, *std::max_element(m_counts.counts[row].begin(),
                                                            m_counts.counts[row].end()));
        }
    }
    auto xOf = [&](double level) { return plot.left() + plot.width() * level / 255.0; };
    auto yOf = [&](double share) { return plot.bottom() - plot.height() * share; };

    painter.setPen(QColor(225, 225, 225));
    const QFontMetrics metrics(font());
    // Level axis: ticks every 32 levels and at 255.
    for (int level = 0; level <= 256; level += 32) {
        const int shown = std::min(level, 255);
        const double x = xOf(shown);
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(Qt::black);
        const QString label = QString::number(shown);
        painter.drawText(QPointF(x - metrics.horizontalAdvance(label) / 2.0,
                                 plot.bottom() + metrics.ascent() + 3),
                         label);
    }
    painter.drawText(
        QRectF(plot.left(), plot.bottom() + metrics.height() + 2, plot.width(), metrics.height()),
        Qt::AlignHCenter, QStringLiteral("level"));
    // Count axis: 0, half and the peak; or powers of ten on the logarithmic one.
    std::vector<double> ticks;
    if (maxCount > 0 && m_bLogarithmic) {
        for (double tick = 1; tick <= maxCount; tick *= 10) {
            ticks.push_back(tick);
        }
    } else if (maxCount > 0) {
        ticks = {0, maxCount / 2.0, double(maxCount)};
    }
    for (double tick : ticks) {
        const double share =
            m_bLogarithmic ? BarHeight(std::uint32_t(tick), maxCount, true) : tick / maxCount;
        const double y = yOf(share);
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        const QString label = CountLabel(tick);
        painter.drawText(QPointF(plot.left() - 4 - metrics.horizontalAdvance(label),
                                 y + metrics.ascent() / 2.0 - 1),
                         label);
    }
    painter.save();
    painter.translate(12, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, -metrics.ascent(), plot.height(), metrics.height()),
                     Qt::AlignHCenter,
                     m_bLogarithmic ? QStringLiteral("samples (log)") : QStringLiteral("samples"));
    painter.restore();
    painter.setPen(Qt::gray);
    painter.drawRect(plot);
    if (maxCount == 0) {
        painter.setPen(Qt::darkGray);
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral("No frame on screen"));
        return;
    }
    const bool bColor = m_counts.channels > 1;
    for (int row = 0; row < m_counts.channels; ++row) {
        if (bColor && !m_bChannelShown[row]) {
            continue;
        }
        QPainterPath path;
        for (int level = 0; level < 256; ++level) {
            const QPointF point(
                xOf(level), yOf(BarHeight(m_counts.counts[row][level], maxCount, m_bLogarithmic)));
            if (level == 0) {
                path.moveTo(point);
            } else {
                path.lineTo(point);
            }
        }
        QColor colour = ChannelColor(m_counts.channels, row);
        if (bColor) {
            QPainterPath area = path;
            area.lineTo(xOf(255), plot.bottom());
            area.lineTo(xOf(0), plot.bottom());
            area.closeSubpath();
            QColor fill = colour;
            fill.setAlpha(40);
            painter.fillPath(area, fill);
            colour.setAlpha(190);
        }
        painter.setPen(QPen(colour, 1.4));
        painter.drawPath(path);
    }
}
