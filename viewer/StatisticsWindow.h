#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>

#include "statistics/LevelStatistics.h"

class CFrameView;
class CLevelPlot;
class CViewerCore;
class QCheckBox;
class QLabel;
class QRadioButton;

// The Statistics tool window: the histogram of the frame on screen (raw or corrected
// samples), each channel's figures, the frame rate, the frames acquired and failed reads,
// and the median time of each stage. It reads what the window and the worker already
// keep, at most ten times a second, and only while it is shown.
class CStatisticsWindow : public QWidget {
  public:
    CStatisticsWindow(QWidget* pMain, CFrameView* pView, const CViewerCore* pCore);

    // Shows the window beside the main window, where it does not cover the picture.
    void ShowBesideMain();
    // Reads the figures again now (the timer does it while the window is shown).
    void Refresh();

    QString FiguresText() const;
    // Where a window of this size goes beside the main window's frame on this screen.
    static QPoint PlaceBeside(const QRect& main, const QSize& size, const QRect& screen);

  protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

  private:
    QString ChannelTable(const LevelCounts& counts) const;
    QString AcquisitionText();

    QPointer<QWidget> m_pMain;
    QPointer<CFrameView> m_pView;
    const CViewerCore* m_pCore;
    CLevelPlot* m_pPlot;
    QRadioButton* m_pRaw;
    QRadioButton* m_pCorrected;
    QCheckBox* m_pLogarithmic;
    QLabel* m_pFigures;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::deque<std::pair<qint64, int>> m_rateWindow;  // (ms, frames done) over the last second
};
