#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>

#include "statistics/LevelStatistics.h"
#include "statistics/SampleLevels.h"

class CFrameView;
class CLevelPlot;
class CRegionSelection;
class CViewerCore;
class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;

// The Statistics tool window: the histogram of the frame on screen (raw, corrected or shown
// levels of the sensor's physical samples), each channel's figures for the whole frame and
// the region, the frame rate, the frames acquired and failed reads, and the median time of
// each stage. It reads what the window and the worker already keep, at most ten times a
// second, and only while it is shown.
class CStatisticsWindow : public QWidget {
  public:
    CStatisticsWindow(QWidget* pMain, CFrameView* pView, const CViewerCore* pCore,
                      CRegionSelection* pRegion = nullptr);

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

    void SetValues(LevelValues values);

  private:
    LevelValues Values() const;
    QString ChannelTable(const LevelCounts& counts, const LevelCounts* pRegion) const;
    QString AcquisitionText();
    QLayout* MakeRegionFields();
    void ShowRegionInFields();
    void TakeRegionFromFields();

    QPointer<QWidget> m_pMain;
    QPointer<CFrameView> m_pView;
    const CViewerCore* m_pCore;
    CLevelPlot* m_pPlot;
    QRadioButton* m_pRaw;
    QRadioButton* m_pCorrected;
    QRadioButton* m_pShown;
    QCheckBox* m_pLogarithmic;
    QCheckBox* m_pChannels[3];  // red, green, blue curves of the colour histogram
    QPointer<CRegionSelection> m_pRegion;
    QCheckBox* m_pRegionOn = nullptr;
    QSpinBox* m_pRegionFields[4] = {};  // first ring, last ring, first sector, last sector
    bool m_bShowingRegion = false;      // fields being filled from the selection
    QLabel* m_pFigures;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::deque<std::pair<qint64, int>> m_rateWindow;  // (ms, frames done) over the last second
};
