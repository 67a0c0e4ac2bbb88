#pragma once

#include <QWidget>

#include "statistics/LevelStatistics.h"

// A readable histogram: levels 0 to 255 across a labelled axis, sample counts up a linear or
// logarithmic one, every count drawn, one curve per channel in the channel's own colour.
class CLevelPlot : public QWidget {
  public:
    explicit CLevelPlot(QWidget* pParent = nullptr);

    void SetCounts(const LevelCounts& counts);
    void Clear();
    void SetLogarithmic(bool bLogarithmic);

    QSize sizeHint() const override { return {320, 180}; }

  protected:
    void paintEvent(QPaintEvent* pEvent) override;

  private:
    LevelCounts m_counts;
    bool m_bHasCounts = false;
    bool m_bLogarithmic = false;
};
