#pragma once

#include <QWidget>

#include "statistics/LevelStatistics.h"

// A readable histogram: levels 0 to 255 across a labelled axis, sample counts up a linear or
// logarithmic one, every count drawn, one curve per channel in the channel's own colour.
// Colour curves are drawn see-through over a light fill, so none hides another, and each
// channel can be hidden.
class CLevelPlot : public QWidget {
  public:
    explicit CLevelPlot(QWidget* pParent = nullptr);

    void SetCounts(const LevelCounts& counts);
    void Clear();
    void SetLogarithmic(bool bLogarithmic);
    // row: 0 blue, 1 green, 2 red, as LevelCounts holds them.
    void SetChannelShown(int row, bool bShown);

    QSize sizeHint() const override { return {320, 180}; }

  protected:
    void paintEvent(QPaintEvent* pEvent) override;

  private:
    LevelCounts m_counts;
    bool m_bHasCounts = false;
    bool m_bLogarithmic = false;
    bool m_bChannelShown[3] = {true, true, true};
};
