#include "viewer/GazeWindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <cmath>
#include <numbers>

#include "sensor/LogPolarFrame.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;
// The sensor's layout in canvas units (its outer radius is 256), as the remap table draws it.
constexpr double kOuterRadius = 256.0;
constexpr double kFoveaRingPitch = 0.4675;
constexpr double kRingGrowth = 1.02365;
// Every ring and sector would be a grey smear at this size: one line in so many.
constexpr int kRingStep = 8;
constexpr int kFoveaRingStep = 7;
constexpr int kSectorStep = 6;

// The inner edge of a ring, in canvas units.
double RingEdge(int ring) {
    return ring < kFoveaRings ? ring * kFoveaRingPitch
                              : kOuterRadius * std::pow(kRingGrowth, ring - kRings);
}

}  // namespace

CGazeWindow::CGazeWindow(QWidget* pMain)
    : CToolWindow(pMain, QStringLiteral("Gaze"), {Side::kRight, Side::kLeft, Side::kBelow}) {
    resize(kWidth, kHeight);
    setCursor(Qt::CrossCursor);
}

QSize CGazeWindow::sizeHint() const {
    return {kWidth, kHeight};
}

bool CGazeWindow::IsAvailable() const {
    return ActiveSourceGaze() != nullptr;
}

void CGazeWindow::OnShown() {
    m_pGaze = ActiveSourceGaze();
    if (m_pGaze) {
        m_pGaze->AskForPicture(true);
    }
}

void CGazeWindow::OnHidden() {
    if (m_pGaze) {
        m_pGaze->AskForPicture(false);
        m_pGaze.reset();
    }
}

void CGazeWindow::Refresh() {
    if (!m_pGaze) {
        return;
    }
    if (std::shared_ptr<const BgrPicture> picture = m_pGaze->LatestPicture()) {
        // Blue, green, red bytes are QImage's BGR888.
        m_picture = QImage(picture->bgr.data(), picture->width, picture->height,
                           qsizetype(picture->stride), QImage::Format_BGR888)
                        .copy();
    }
    update();
}

QRectF CGazeWindow::PictureRect() const {
    if (m_picture.isNull()) {
        return {};
    }
    QSizeF size = QSizeF(m_picture.size()).scaled(QSizeF(this->size()), Qt::KeepAspectRatio);
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

void CGazeWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_pGaze) {
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter,
                         QStringLiteral("This camera source has no gaze.\nUse image:, video:, "
                                        "webcam or gst: to move one."));
        return;
    }
    const QRectF place = PictureRect();
    if (place.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Waiting for a picture"));
        return;
    }
    painter.drawImage(place, m_picture);
    DrawSensor(painter, place, m_pGaze->Get());
}

void CGazeWindow::DrawSensor(QPainter& painter, const QRectF& place, const Gaze& gaze) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(place.left() + gaze.x * place.width(),
                         place.top() + gaze.y * place.height());
    const double pixelsPerUnit =
        gaze.field * std::min(place.width(), place.height()) / (2 * kOuterRadius);
    QPainterPath lines;
    auto ring = [&](double edge) {
        const double radius = edge * pixelsPerUnit;
        lines.addEllipse(centre, radius, radius);
    };
    for (int r = kFoveaRingStep; r < kFoveaRings; r += kFoveaRingStep) {
        ring(RingEdge(r));
    }
    for (int r = kFoveaRings; r < kRings; r += kRingStep) {
        ring(RingEdge(r));
    }
    const double inner = RingEdge(kFoveaRings) * pixelsPerUnit;
    const double outer = kOuterRadius * pixelsPerUnit;
    for (int s = 0; s < kSectors; s += kSectorStep) {
        const double angle = s * 2 * std::numbers::pi / kSectors;
        const QPointF along(std::cos(angle), -std::sin(angle));
        lines.moveTo(centre + along * inner);
        lines.lineTo(centre + along * outer);
    }
    painter.setPen(QPen(QColor(255, 255, 0, 110), 1));
    painter.drawPath(lines);
    painter.setPen(QPen(QColor(255, 255, 0), 2));
    painter.drawEllipse(centre, outer, outer);
    painter.drawEllipse(centre, inner, inner);
    painter.setPen(QPen(Qt::red, 2));
    painter.drawLine(centre - QPointF(8, 0), centre + QPointF(8, 0));
    painter.drawLine(centre - QPointF(0, 8), centre + QPointF(0, 8));
}

void CGazeWindow::AimAt(const QPointF& at) {
    const QRectF place = PictureRect();
    if (!m_pGaze || place.isEmpty()) {
        return;
    }
    Gaze gaze = m_pGaze->Get();
    gaze.x = (at.x() - place.left()) / place.width();
    gaze.y = (at.y() - place.top()) / place.height();
    m_pGaze->Set(gaze);
    update();
}

void CGazeWindow::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) {
        AimAt(pEvent->position());
    }
}

void CGazeWindow::mouseMoveEvent(QMouseEvent* pEvent) {
    if (pEvent->buttons() & Qt::LeftButton) {
        AimAt(pEvent->position());
    }
}

void CGazeWindow::wheelEvent(QWheelEvent* pEvent) {
    if (m_pGaze) {
        m_pGaze->Set(m_pGaze->Get().ZoomedBy(pEvent->angleDelta().y() / 120.0));
        update();
    }
}
