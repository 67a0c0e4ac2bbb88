#include "viewer/FrameView.h"

#include <QMetaObject>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <cassert>

#include "platform/ui/Resources.h"
#include "resources/Resource.h"

CFrameView::CFrameView(QWidget* pParent) : QWidget(pParent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_repaintTimer.setSingleShot(true);
    connect(&m_repaintTimer, &QTimer::timeout, this, [this] { update(); });
    m_wantTimer.setSingleShot(true);
    connect(&m_wantTimer, &QTimer::timeout, this, [this] { m_frames.WantNext(); });
    if (QScreen* pScreen = screen(); pScreen != nullptr && pScreen->refreshRate() >= 1) {
        m_nRepaintIntervalMs = std::max(1, int(1000 / pScreen->refreshRate()));
    }
    m_sinceLastPaint.start();
}

void CFrameView::LoadBackground(int width, int height, int top) {
    // The resource comes as a pixmap, which only the user-interface thread may make.
    assert(QThread::currentThread() == thread());
    QImage picture;
    if (width > 0 && height > 0) {
        picture = LoadBitmapResource(IDB_BACKGROUND)
                      .toImage()
                      .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    {
        std::lock_guard lock(m_backgroundMutex);
        m_background = std::move(picture);
        m_backgroundTop = top;
    }
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void CFrameView::DrawFrame(const std::uint8_t* pPixels, const BitmapHeader& header,
                           const ViewerRect& destination) {
    if (m_frames.Publish(pPixels, header.biWidth, header.biHeight, destination)) {
        Wake(m_frames);
    }
}

void CFrameView::AttachSensor(const SensorFrame& sensor) {
    m_frames.StageSensor(sensor);
}

void CFrameView::EndFrames() {
    if (m_frames.Clear()) {
        Wake(m_frames);
    }
}

void CFrameView::DrawHistogram(const std::uint8_t* pPixels, int x, int y,
                               std::uint64_t generation) {
    if (m_histogram.Publish(pPixels, 256, 100, {x, y, x + 256, y + 100}, generation)) {
        Wake(m_histogram);
    }
}

void CFrameView::EndHistogram() {
    if (m_histogram.Clear()) {
        Wake(m_histogram);
    }
}

void CFrameView::Wake(CFrameHandover& handover) {
    // Dropped by the toolkit if this widget is gone by the time it would run.
    QMetaObject::invokeMethod(
        this,
        [this, &handover] {
            handover.AcknowledgeWake();
            ScheduleRepaint();
        },
        Qt::QueuedConnection);
}

void CFrameView::ScheduleRepaint() {
    m_bPaintForNewPictures = true;
    if (m_repaintTimer.isActive()) {
        return;
    }
    const qint64 elapsed = m_sinceLastPaint.elapsed();
    if (elapsed >= m_nRepaintIntervalMs) {
        update();
    } else {
        m_repaintTimer.start(int(m_nRepaintIntervalMs - elapsed));
    }
}

void CFrameView::PaintPicture(QPainter& painter, const CFrameHandover::ScreenPicture& picture) {
    if (!picture.bValid) {
        return;
    }
    // Pictures arrive bottom-up; turning them here costs one copy per paint, not per frame.
    const QImage image(picture.pixels.data(), picture.width, picture.height, picture.width * 3,
                       QImage::Format_BGR888);
    const ViewerRect& to = picture.destination;
    painter.drawImage(QRect(to.left, to.top, to.Width(), to.Height()), image.mirrored(false, true));
}

void CFrameView::paintEvent(QPaintEvent*) {
    m_sinceLastPaint.restart();
    ++m_nPaints;
    if (m_paintHook) {
        m_paintHook();
    }
    m_frames.TakeNewest();
    // A plot is drawn by the acquisition thread only: any other paint (uncovered, restored,
    // relaid out) shows the window's background there until the next pass plots again.
    if (m_histogram.TakeNewest()) {
        m_bHistogramOnScreen = true;
    } else if (!m_bPaintForNewPictures) {
        m_bHistogramOnScreen = false;
    }
    m_bPaintForNewPictures = false;
    // The next frame is copied when the next paint may run, so it is fresh when shown.
    m_wantTimer.start(m_nRepaintIntervalMs);
    QPainter painter(this);
    {
        std::lock_guard lock(m_backgroundMutex);
        if (!m_background.isNull()) {
            painter.drawImage(0, m_backgroundTop, m_background);
        }
    }
    PaintPicture(painter, m_frames.Current());
    if (m_overlay && m_frames.Current().bValid) {
        m_overlay(painter, m_frames.Current());
    }
    if (m_bHistogramOnScreen) {
        PaintPicture(painter, m_histogram.Current());
    }
}
