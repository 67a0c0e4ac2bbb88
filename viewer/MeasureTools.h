#pragma once

#include <QPointer>

#include "viewer/RegionSelection.h"
#include "viewer/TimeSeriesWindow.h"

class CFrameView;
class CViewerCore;
class QWidget;

// What the main window adds over its picture for measuring: the region (Shift+drag), the
// Time Series window and Tools > Show Clipping, all drawn on screen only.
class CMeasureTools {
  public:
    CMeasureTools(QWidget* pMain, QWidget* pArea, CFrameView* pView, const CViewerCore* pCore);
    ~CMeasureTools();
    CMeasureTools(const CMeasureTools&) = delete;
    CMeasureTools& operator=(const CMeasureTools&) = delete;

    CRegionSelection* Region() const { return m_pRegion.data(); }
    CTimeSeriesWindow* TimeSeries() const { return m_pTimeSeries.data(); }

    void ToggleTimeSeries();
    bool IsTimeSeriesShown() const;
    void ToggleClipping();
    bool IsClippingShown() const { return m_bClipping; }

  private:
    QPointer<QWidget> m_pMain;
    QPointer<CFrameView> m_pView;
    QPointer<CRegionSelection> m_pRegion;
    QPointer<CTimeSeriesWindow> m_pTimeSeries;
    bool m_bClipping = false;
};
