#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <deque>

#include "statistics/LevelStatistics.h"
#include "statistics/SampleLevels.h"
#include "viewer/ToolWindow.h"

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
// each stage. It reads what the window and the worker already keep, on the tool windows'
// refresh, and only while it is shown.
class CStatisticsWindow : public CToolWindow {
  public:
    CStatisticsWindow(QWidget* pMain, CFrameView* pView, const CViewerCore* pCore,
                      CRegionSelection* pRegion = nullptr);

    void Refresh() override;

    QString FiguresText() const;

  protected:
    void OnShown() override { m_rateWindow.clear(); }

  private:
    LevelValues Values() const;
    QString ChannelTable(const LevelCounts& counts, const LevelCounts* pRegion) const;
    QString AcquisitionText();
    QLayout* MakeRegionFields();
    void ShowRegionInFields();
    void TakeRegionFromFields();

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
    QElapsedTimer m_clock;
    std::deque<std::pair<qint64, int>> m_rateWindow;  // (ms, frames done) over the last second
};
