#pragma once

#include <QPointer>

#include "viewer/RegionSelection.h"

class CFrameView;
class QWidget;

// What the main window adds over its picture for measuring: the region (Shift+drag) and
// Tools > Show Clipping, both drawn on screen only.
class CMeasureTools {
  public:
    CMeasureTools(QWidget* pArea, CFrameView* pView);
    ~CMeasureTools();
    CMeasureTools(const CMeasureTools&) = delete;
    CMeasureTools& operator=(const CMeasureTools&) = delete;

    CRegionSelection* Region() const { return m_pRegion.data(); }

    void ToggleClipping();
    bool IsClippingShown() const { return m_bClipping; }

  private:
    QPointer<CFrameView> m_pView;
    QPointer<CRegionSelection> m_pRegion;
    bool m_bClipping = false;
};
