#include "viewer/LevelPlot.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "viewer/PlotPainter.h"

namespace {

constexpr CPlotPainter::Margins kMargins{52, 10, 10, 34};

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
    UsePlotBackground(*this);
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
    CPlotPainter plotter(*this, kMargins);
    const QRectF& plot = plotter.Area();
    std::uint32_t maxCount = 0;
    if (m_bHasCounts) {
        for (int row = 0; row < m_counts.channels; ++row) {
            maxCount = std::max(maxCount, *std::max_element(m_counts.counts[row].begin(),
                                                            m_counts.counts[row].end()));
        }
    }
    auto xOf = [&](double level) { return plot.left() + plot.width() * level / 255.0; };
    auto yOf = [&](double share) { return plot.bottom() - plot.height() * share; };

    // Level axis: ticks every 32 levels and at 255.
    for (int level = 0; level <= 256; level += 32) {
        const int shown = std::min(level, 255);
        plotter.ColumnLine(xOf(shown));
        plotter.LabelBelow(xOf(shown), QString::number(shown));
    }
    plotter.TitleBelow(QStringLiteral("level"));
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
        plotter.RowLine(yOf(share), CountLabel(tick));
    }
    plotter.TitleLeft(m_bLogarithmic ? QStringLiteral("samples (log)") : QStringLiteral("samples"));
    plotter.Frame();
    if (maxCount == 0) {
        plotter.Empty(QStringLiteral("No frame on screen"));
        return;
    }
    const bool bColor = m_counts.channels > 1;
    for (int row = 0; row < m_counts.channels; ++row) {
        if (bColor && !m_bChannelShown[row]) {
            continue;
        }
        const auto& counts = m_counts.counts[row];
        const QPainterPath path = PlotPath(counts.size(), [&](std::size_t level) {
            return QPointF(xOf(double(level)),
                           yOf(BarHeight(counts[level], maxCount, m_bLogarithmic)));
        });
        QColor colour = PlotChannelColour(LevelCountsChannel(m_counts.channels, row));
        if (bColor) {
            QPainterPath area = path;
            area.lineTo(xOf(255), plot.bottom());
            area.lineTo(xOf(0), plot.bottom());
            area.closeSubpath();
            QColor fill = colour;
            fill.setAlpha(40);
            plotter.Painter().fillPath(area, fill);
            colour.setAlpha(190);
        }
        plotter.Curve(path, colour);
    }
}
