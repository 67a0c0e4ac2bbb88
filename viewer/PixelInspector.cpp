#include "viewer/PixelInspector.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

#include "viewer/FrameView.h"
#include "viewer/InspectPicture.h"

CPixelInspector::CPixelInspector(QWidget* pArea, CFrameView* pView, ShowText show, ShowText restore)
    : QObject(pArea), m_pView(pView), m_show(std::move(show)), m_restore(std::move(restore)) {
    pArea->setMouseTracking(true);
    pArea->installEventFilter(this);
}

std::string CPixelInspector::TextAt(int x, int y) const {
    if (!m_pView) {
        return {};
    }
    const std::optional<PixelInspection> inspection =
        InspectShownPicture(m_pView->ShownFrame(), x, y);
    return inspection ? DescribeInspection(*inspection) : std::string();
}

bool CPixelInspector::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::MouseMove) {
        const QPoint at = static_cast<QMouseEvent*>(pEvent)->position().toPoint();
        if (m_pView) {
            ShowAt(m_pView->mapFrom(static_cast<QWidget*>(pWatched), at));
        }
    } else if (pEvent->type() == QEvent::Leave) {
        Leave();
    }
    return QObject::eventFilter(pWatched, pEvent);
}

void CPixelInspector::Refresh() {
    if (m_bShowing) {
        ShowAt(m_lastPoint);
    }
}

void CPixelInspector::ShowAt(const QPoint& at) {
    m_lastPoint = at;
    const std::string text = TextAt(at.x(), at.y());
    if (text.empty()) {
        Leave();
        return;
    }
    m_show(text);
    m_bShowing = true;
}

void CPixelInspector::Leave() {
    if (m_bShowing) {
        m_bShowing = false;
        m_restore("");
    }
}
