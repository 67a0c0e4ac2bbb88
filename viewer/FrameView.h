#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <mutex>

#include "viewer/FrameHandover.h"
#include "viewer/FrameSurface.h"

// The viewer's drawing surface: a widget over the main window's client area that paints the
// background picture, the newest frame and the histogram at the places the viewer names.
// Frames arrive from the acquisition thread through handovers; repaints are queued to the
// widget's thread and held to the screen's rate, so the worker never waits for a paint.
class CFrameView : public QWidget, public CFrameSurface {
  public:
    explicit CFrameView(QWidget* pParent = nullptr);

    void LoadBackground(int width, int height, int top) override;
    bool WantsFrame() const override { return m_frames.IsWanted(); }
    void DrawFrame(const std::uint8_t* pPixels, const BitmapHeader& header,
                   const ViewerRect& destination) override;
    void AttachSensor(const SensorFrame& sensor) override;
    void EndFrames() override;
    std::uint64_t HistogramGeneration() const override { return m_histogram.Generation(); }
    void DrawHistogram(const std::uint8_t* pPixels, int x, int y,
                       std::uint64_t generation) override;
    void EndHistogram() override;

    // Runs at the start of every paint (the window's own paint step).
    void SetPaintHook(std::function<void()> hook) { m_paintHook = std::move(hook); }
    // Draws over the frame on screen after it is painted (outlines, marks); screen only.
    using OverlayPainter = std::function<void(QPainter&, const CFrameHandover::ScreenPicture&)>;
    void SetOverlayPainter(OverlayPainter overlay) { m_overlay = std::move(overlay); }
    // The frame on screen: its picture, where it is drawn, and what the sensor gave for it.
    const CFrameHandover::ScreenPicture& ShownFrame() const { return m_frames.Current(); }
    int PaintCount() const { return m_nPaints.load(); }

  protected:
    void paintEvent(QPaintEvent* pEvent) override;

  private:
    void Wake(CFrameHandover& handover);
    void ScheduleRepaint();
    static void PaintPicture(QPainter& painter, const CFrameHandover::ScreenPicture& picture);

    CFrameHandover m_frames;
    CFrameHandover m_histogram;
    mutable std::mutex m_backgroundMutex;  // guards m_background and m_backgroundTop
    QImage m_background;
    int m_backgroundTop = 0;
    std::function<void()> m_paintHook;
    OverlayPainter m_overlay;
    QElapsedTimer m_sinceLastPaint;
    QTimer m_repaintTimer;
    QTimer m_wantTimer;  // asks for the next frame when the screen can show it
    int m_nRepaintIntervalMs = 16;
    std::atomic<int> m_nPaints{0};
    // User-interface thread only: the next paint was asked for by a handover's wake-up, and
    // the plot last painted is still on screen.
    bool m_bPaintForNewPictures = false;
    bool m_bHistogramOnScreen = false;
};
