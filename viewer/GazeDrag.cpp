#include "viewer/GazeDrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "viewer/FrameView.h"

namespace {

constexpr double kDegreesPerNotch = 15.0;  // a wheel's angle delta is in eighths of a degree

}  // namespace

CGazeDrag::CGazeDrag(QWidget* pArea, CFrameView* pView)
    : QObject(pArea), m_pArea(pArea), m_pView(pView) {
    qApp->installEventFilter(this);
}

int CGazeDrag::PictureSideAt(const QPoint& at) const {
    const CFrameHandover::ScreenPicture& picture = m_pView->ShownFrame();
    const ViewerRect& place = picture.destination;
    // Only the Cartesian picture is square, and only it shows the scene undistorted.
    if (!picture.bValid || place.Width() != place.Height() || place.Width() <= 0) {
        return 0;
    }
    const bool inside = at.x() >= place.left && at.x() < place.right && at.y() >= place.top &&
                        at.y() < place.bottom;
    return inside ? place.Width() : 0;
}

bool CGazeDrag::eventFilter(QObject* pWatched, QEvent* pEvent) {
    const QEvent::Type type = pEvent->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::Wheel) {
        return QObject::eventFilter(pWatched, pEvent);
    }
    if (!m_pArea || !m_pView || !pWatched->isWidgetType() ||
        static_cast<QWidget*>(pWatched)->window() != m_pArea->window()) {
        return QObject::eventFilter(pWatched, pEvent);
    }
    const std::shared_ptr<CSourceGaze> gaze = ActiveSourceGaze();
    if (!gaze) {
        return QObject::eventFilter(pWatched, pEvent);
    }
    auto* pInput = static_cast<QSinglePointEvent*>(pEvent);
    const QPoint at = m_pView->mapFromGlobal(pInput->globalPosition().toPoint());
    if (type == QEvent::Wheel) {
        const int side = PictureSideAt(at);
        if (side == 0) {
            return QObject::eventFilter(pWatched, pEvent);
        }
        const double notches =
            static_cast<QWheelEvent*>(pEvent)->angleDelta().y() / 8.0 / kDegreesPerNotch;
        gaze->Set(gaze->Get().ZoomedBy(notches));
        return true;
    }
    auto* pMouse = static_cast<QMouseEvent*>(pEvent);
    if (type == QEvent::MouseButtonPress) {
        if (pMouse->button() == Qt::LeftButton && pMouse->modifiers() == Qt::NoModifier) {
            m_nSide = PictureSideAt(at);
            m_bDragging = m_nSide > 0;
            m_dragFrom = at;
            m_dragStart = gaze->Get();
        }
        return QObject::eventFilter(pWatched, pEvent);
    }
    if (type == QEvent::MouseButtonRelease && pMouse->button() == Qt::LeftButton) {
        m_bDragging = false;
    }
    if (m_bDragging && (pMouse->buttons() & Qt::LeftButton)) {
        int width = 0;
        int height = 0;
        gaze->PictureSize(&width, &height);
        const QPoint moved = at - m_dragFrom;
        gaze->Set(m_dragStart.DraggedBy(double(moved.x()) / m_nSide, double(moved.y()) / m_nSide,
                                        width, height));
    }
    // Moves go on to the pixel probe.
    return QObject::eventFilter(pWatched, pEvent);
}
