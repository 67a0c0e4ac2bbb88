#include "viewer/MeasureTools.h"

#include "viewer/ClippingOverlay.h"
#include "viewer/FrameView.h"

CMeasureTools::CMeasureTools(QWidget* pArea, CFrameView* pView)
    : m_pView(pView), m_pRegion(new CRegionSelection(pArea, pView)) {
    pView->SetOverlayPainter(
        [this](QPainter& painter, const CFrameHandover::ScreenPicture& picture) {
            if (m_bClipping) {
                PaintClipping(painter, picture);
            }
            if (m_pRegion) {
                m_pRegion->Paint(painter, picture);
            }
        });
}

CMeasureTools::~CMeasureTools() {
    if (m_pView) {
        m_pView->SetOverlayPainter(nullptr);
    }
}

void CMeasureTools::ToggleClipping() {
    m_bClipping = !m_bClipping;
    if (m_pView) {
        m_pView->update();
    }
}
