#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstddef>

// The channels a plot draws, in the one order every plot names them.
enum class PlotChannel { kGrey, kRed, kGreen, kBlue };

// Row of LevelCounts (0 blue, 1 green, 2 red; one row for grey).
PlotChannel LevelCountsChannel(int channels, int row);
// Entry of SeriesMeans (red, green, blue; one entry for grey).
PlotChannel SeriesChannel(int channels, int k);
QColor PlotChannelColour(PlotChannel channel);

// A plot widget's white background, set once when it is made.
void UsePlotBackground(QWidget& widget);

// What the level and series plots draw alike: the plot area inside the widget's margins, grid
// lines with their labels, axis titles, the frame, the text of an empty plot and the curves.
class CPlotPainter {
  public:
    struct Margins {
        int left, right, top, bottom;
    };
    CPlotPainter(QWidget& widget, Margins margins);

    const QRectF& Area() const { return m_area; }
    QPainter& Painter() { return m_painter; }

    // A level across the area at y, its label left of the area.
    void RowLine(double y, const QString& label);
    // A line down the area at x; its label goes below with LabelBelow.
    void ColumnLine(double x);
    void LabelBelow(double x, const QString& label);
    void TitleBelow(const QString& title);
    void TitleLeft(const QString& title);
    void Frame();
    void Empty(const QString& text);
    void Curve(const QPainterPath& path, QColor colour, Qt::PenStyle style = Qt::SolidLine);

  private:
    QPainter m_painter;
    QRectF m_area;
    QFontMetrics m_metrics;
};

// The polyline through pointOf(0) to pointOf(count - 1), for Curve.
template <typename PointOf>
QPainterPath PlotPath(std::size_t count, PointOf pointOf) {
    QPainterPath path;
    for (std::size_t i = 0; i < count; ++i) {
        if (i == 0) {
            path.moveTo(pointOf(i));
        } else {
            path.lineTo(pointOf(i));
        }
    }
    return path;
}
