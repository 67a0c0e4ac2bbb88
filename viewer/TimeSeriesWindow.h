#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include "statistics/LevelSeries.h"
#include "statistics/SampleLevels.h"
#include "viewer/SeriesPlot.h"
#include "viewer/ToolWindow.h"

class CFrameView;
class CRegionSelection;
class CViewerCore;
class QComboBox;
class QLabel;

// Tools > Time Series: the mean level of the frames on screen over the last 10 s to 10 min,
// live, for the whole frame and the region, with the frame rate; Copy and Save CSV give its
// numbers. It samples the frame already handed to the screen on the tool windows' refresh,
// and only while shown, so the acquisition thread does no work for it.
class CTimeSeriesWindow : public CToolWindow {
  public:
    CTimeSeriesWindow(QWidget* pMain, CFrameView* pView, const CViewerCore* pCore,
                      CRegionSelection* pRegion);

    // Takes the frame on screen into the series if it is a new one (the timer does it).
    void Sample();
    void Refresh() override { Sample(); }
    const CLevelSeries& Series() const { return m_series; }
    // Writes the series as CSV; false with the reason in *error.
    bool SaveCsv(const QString& path, QString* error) const;

  private:
    std::int64_t SpanUs() const;
    LevelValues Values() const;
    void Restart();
    void ShowRate();
    void AskAndSave();

    QPointer<CFrameView> m_pView;
    const CViewerCore* m_pCore;
    QPointer<CRegionSelection> m_pRegion;
    CLevelSeries m_series;
    CSeriesPlot* m_pPlot;
    QComboBox* m_pSpan;
    QComboBox* m_pValues;
    QLabel* m_pRate;
    QElapsedTimer m_clock;
    int m_nLastFrames = -1;
};
