#include "viewer/RegionSelection.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <cmath>

#include "pixelprobe/SensorProbe.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"
#include "viewer/FrameView.h"
#include "viewer/UnmappedView.h"

namespace {

constexpr double kDegreesPerSector = 360.0 / kSectors;

bool IsUnmapped(const CFrameHandover::ScreenPicture& picture) {
    return picture.width == kUnmappedWidth && picture.height == kUnmappedHeight;
}

void StrokeOutline(QPainter& painter, const QPainterPath& path) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 0, 200), 3));
    painter.drawPath(path);
    painter.setPen(QPen(QColor(255, 220, 0), 1.5));
    painter.drawPath(path);
}

}  // namespace

CRegionSelection::CRegionSelection(QWidget* pArea, CFrameView* pView)
    : QObject(pArea), m_pArea(pArea), m_pView(pView) {
    qApp->installEventFilter(this);
}

void CRegionSelection::SetRegion(const std::optional<SampleRegion>& region) {
    const bool bSame = region.has_value() == m_region.has_value() &&
                       (!region || (region->firstRing == m_region->firstRing &&
                                    region->lastRing == m_region->lastRing &&
                                    region->firstSector == m_region->firstSector &&
                                    region->lastSector == m_region->lastSector));
    if (bSame) {
        return;
    }
    m_region = region;
    if (m_pView) {
        m_pView->update();
    }
    for (const auto& listener : m_listeners) {
        listener();
    }
}

void CRegionSelection::AddListener(std::function<void()> listener) {
    m_listeners.push_back(std::move(listener));
}

std::optional<std::pair<int, int>> CRegionSelection::RingAndSectorAt(
    const CFrameHandover::ScreenPicture& picture, int x, int y) {
    const ViewerRect& to = picture.destination;
    if (!picture.bValid || to.Width() <= 0 || to.Height() <= 0 || x < to.left || x >= to.right ||
        y < to.top || y >= to.bottom) {
        return std::nullopt;
    }
    const int px = (x - to.left) * picture.width / to.Width();
    const int py = (y - to.top) * picture.height / to.Height();
    if (IsUnmapped(picture)) {
        const SensorPoint point = ProbeUnmapped(px, py);
        return point.bInside ? std::optional(std::pair(point.ring, point.sector)) : std::nullopt;
    }
    const double scale = double(kZoomedSize) / picture.width;
    const double dx = px * scale - kZoomedSize / 2;
    const double dy = kZoomedSize / 2 - py * scale;
    const int ring = RingAtRadius(std::hypot(dx, dy));
    if (ring >= kRings) {
        return std::nullopt;
    }
    double degrees = std::atan2(dy, dx) * 180.0 / M_PI;
    if (degrees < 0) {
        degrees += 360.0;
    }
    const int sector = std::min(kSectors - 1, int(degrees / kDegreesPerSector));
    return std::pair(ring, sector);
}

SampleRegion CRegionSelection::Spanning(std::pair<int, int> from, std::pair<int, int> to) {
    SampleRegion region;
    region.firstRing = std::min(from.first, to.first);
    region.lastRing = std::max(from.first, to.first);
    // Counter-clockwise from the start, unless the other way round is shorter.
    const int ahead = (to.second - from.second + kSectors) % kSectors;
    if (ahead <= kSectors / 2) {
        region.firstSector = from.second;
        region.lastSector = to.second;
    } else {
        region.firstSector = to.second;
        region.lastSector = from.second;
    }
    return region;
}

bool CRegionSelection::eventFilter(QObject* pWatched, QEvent* pEvent) {
    const QEvent::Type type = pEvent->type();
    if ((type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
         type != QEvent::MouseButtonRelease) ||
        !pWatched->isWidgetType() || !m_pArea || !m_pView ||
        static_cast<QWidget*>(pWatched)->window() != m_pArea->window()) {
        return QObject::eventFilter(pWatched, pEvent);
    }
    auto* pMouse = static_cast<QMouseEvent*>(pEvent);
    const QPoint at = m_pView->mapFromGlobal(pMouse->globalPosition().toPoint());
    const auto here = RingAndSectorAt(m_pView->ShownFrame(), at.x(), at.y());
    if (type == QEvent::MouseButtonPress && pMouse->button() == Qt::LeftButton &&
        (pMouse->modifiers() & Qt::ShiftModifier) && here) {
        m_dragStart = here;
        SetRegion(Spanning(*here, *here));
        return true;
    }
    if (!m_dragStart) {
        return QObject::eventFilter(pWatched, pEvent);
    }
    if (here) {
        SetRegion(Spanning(*m_dragStart, *here));
    }
    if (type == QEvent::MouseButtonRelease) {
        m_dragStart.reset();
    }
    return true;
}

void CRegionSelection::Paint(QPainter& painter,
                             const CFrameHandover::ScreenPicture& picture) const {
    const ViewerRect& to = picture.destination;
    if (!m_region || !picture.bValid || to.Width() <= 0 || to.Height() <= 0) {
        return;
    }
    const SampleRegion& region = *m_region;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const int sectors = (region.lastSector - region.firstSector + kSectors) % kSectors + 1;
    if (IsUnmapped(picture)) {
        // Sectors run from right to left, rings downwards; a wrapped range is two boxes.
        const double sx = double(to.Width()) / picture.width;
        const double sy = double(to.Height()) / picture.height;
        const double top = to.top + region.firstRing * sy;
        const double height = (region.lastRing - region.firstRing + 1) * sy;
        auto box = [&](int first, int last) {
            path.addRect(
                QRectF(to.left + (kSectors - 1 - last) * sx, top, (last - first + 1) * sx, height));
        };
        if (region.firstSector <= region.lastSector) {
            box(region.firstSector, region.lastSector);
        } else {
            box(region.firstSector, kSectors - 1);
            box(0, region.lastSector);
        }
    } else {
        const double scale = double(to.Width()) / kZoomedSize;
        const QPointF centre(to.left + scale * kZoomedSize / 2, to.top + scale * kZoomedSize / 2);
        const double inner = RingInnerRadius(region.firstRing) * scale;
        const double outer = RingOuterRadius(region.lastRing) * scale;
        const QRectF outerBox(centre - QPointF(outer, outer), centre + QPointF(outer, outer));
        const QRectF innerBox(centre - QPointF(inner, inner), centre + QPointF(inner, inner));
        if (sectors >= kSectors) {
            path.addEllipse(outerBox);
            path.addEllipse(innerBox);
        } else {
            const double start = region.firstSector * kDegreesPerSector;
            const double span = sectors * kDegreesPerSector;
            path.arcMoveTo(outerBox, start);
            path.arcTo(outerBox, start, span);
            path.arcTo(innerBox, start + span, -span);
            path.closeSubpath();
        }
    }
    StrokeOutline(painter, path);
    painter.restore();
}
