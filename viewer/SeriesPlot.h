#pragma once

#include <QWidget>
#include <cstdint>

#include "statistics/LevelSeries.h"

// The plot of a time series: mean level against time, the whole frame in solid lines and
// the region in dashed ones, one colour per channel.
class CSeriesPlot : public QWidget {
  public:
    explicit CSeriesPlot(const CLevelSeries& series, QWidget* pParent = nullptr);
    void SetSpan(std::int64_t spanUs) { m_nSpanUs = spanUs; }
    QSize sizeHint() const override { return {460, 220}; }

  protected:
    void paintEvent(QPaintEvent* pEvent) override;

  private:
    const CLevelSeries& m_series;
    std::int64_t m_nSpanUs = 60'000'000;
};
