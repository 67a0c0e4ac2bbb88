#include "viewer/MeasureTools.h"

#include <QGuiApplication>
#include <QScreen>

#include "viewer/ClippingOverlay.h"
#include "viewer/FrameView.h"

namespace {

constexpr int kGap = 8;

}  // namespace

CMeasureTools::CMeasureTools(QWidget* pMain, QWidget* pArea, CFrameView* pView,
                             const CViewerCore* pCore)
    : m_pMain(pMain),
      m_pView(pView),
      m_pRegion(new CRegionSelection(pArea, pView)),
      m_pTimeSeries(new CTimeSeriesWindow(pMain, pView, pCore, m_pRegion.data())) {
    pView->SetOverlayPainter([this](QPainter& painter, const CFrameHandover::Picture& picture) {
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
    delete m_pTimeSeries.data();
}

void CMeasureTools::ToggleTimeSeries() {
    if (!m_pTimeSeries) {
        return;
    }
    if (m_pTimeSeries->isVisible()) {
        m_pTimeSeries->hide();
        return;
    }
    m_pTimeSeries->show();
    if (m_pMain) {
        m_pTimeSeries->adjustSize();
        // Below the main window or left of it: the Statistics window takes its right.
        const QRect main = m_pMain->frameGeometry();
        const QRect screen =
            m_pMain->screen() != nullptr ? m_pMain->screen()->availableGeometry() : QRect();
        const QSize size = m_pTimeSeries->frameGeometry().size();
        QPoint at(main.left(), main.bottom() + kGap);
        for (const QPoint& place : {at, QPoint(main.left() - kGap - size.width(), main.top()),
                                    QPoint(screen.left(), screen.bottom() + 1 - size.height())}) {
            if (screen.isEmpty() || screen.contains(QRect(place, size))) {
                at = place;
                break;
            }
        }
        m_pTimeSeries->move(at);
    }
    m_pTimeSeries->raise();
}

bool CMeasureTools::IsTimeSeriesShown() const {
    return m_pTimeSeries && m_pTimeSeries->isVisible();
}

void CMeasureTools::ToggleClipping() {
    m_bClipping = !m_bClipping;
    if (m_pView) {
        m_pView->update();
    }
}
