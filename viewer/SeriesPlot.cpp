#include "viewer/SeriesPlot.h"

#include <algorithm>
#include <cmath>

#include "viewer/PlotPainter.h"

namespace {

constexpr CPlotPainter::Margins kMargins{44, 10, 10, 30};

}  // namespace

CSeriesPlot::CSeriesPlot(const CLevelSeries& series, QWidget* pParent)
    : QWidget(pParent), m_series(series) {
    setMinimumSize(320, 160);
    UsePlotBackground(*this);
}

void CSeriesPlot::paintEvent(QPaintEvent*) {
    CPlotPainter plotter(*this, kMargins);
    const QRectF& plot = plotter.Area();
    const auto& points = m_series.Points();
    // Levels up the side: the range the points cover, widened to whole tens.
    double low = 255;
    double high = 0;
    for (const SeriesPoint& point : points) {
        for (int k = 0; k < m_series.Channels(); ++k) {
            low = std::min({low, point.whole[k], m_series.HasRegion() ? point.region[k] : low});
            high = std::max({high, point.whole[k], m_series.HasRegion() ? point.region[k] : high});
        }
    }
    if (points.empty()) {
        low = 0;
        high = 255;
    }
    low = std::max(0.0, std::floor(low / 10) * 10 - (high - low < 1 ? 10 : 0));
    high = std::min(255.0, std::ceil(high / 10) * 10 + (high - low < 1 ? 10 : 0));
    if (high <= low) {
        high = low + 10;
    }
    const std::int64_t end = points.empty() ? 0 : points.back().timeUs;
    auto xOf = [&](std::int64_t timeUs) {
        return plot.right() - plot.width() * double(end - timeUs) / double(m_nSpanUs);
    };
    auto yOf = [&](double level) {
        return plot.bottom() - plot.height() * (level - low) / (high - low);
    };
    for (int i = 0; i <= 4; ++i) {
        const double level = low + (high - low) * i / 4;
        const double step = (high - low) / 4;
        plotter.RowLine(yOf(level), QString::number(level, 'f', step == std::floor(step) ? 0 : 1));
    }
    const double spanSeconds = double(m_nSpanUs) / 1e6;
    for (int i = 0; i <= 5; ++i) {
        const double ago = spanSeconds * (5 - i) / 5;
        plotter.LabelBelow(
            plot.left() + plot.width() * i / 5,
            i == 5 ? QStringLiteral("now") : QStringLiteral("-%1 s").arg(ago, 0, 'g', 3));
    }
    plotter.Frame();
    if (points.empty()) {
        plotter.Empty(QStringLiteral("Waiting for frames"));
        return;
    }
    plotter.Painter().setClipRect(plot);
    for (int part = 0; part < (m_series.HasRegion() ? 2 : 1); ++part) {
        for (int k = 0; k < m_series.Channels(); ++k) {
            const QPainterPath path = PlotPath(points.size(), [&](std::size_t i) {
                const SeriesPoint& point = points[i];
                return QPointF(xOf(point.timeUs),
                               yOf(part == 0 ? point.whole[k] : point.region[k]));
            });
            plotter.Curve(path, PlotChannelColour(SeriesChannel(m_series.Channels(), k)),
                          part == 0 ? Qt::SolidLine : Qt::DashLine);
        }
    }
}
