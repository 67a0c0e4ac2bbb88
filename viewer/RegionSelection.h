#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

#include "statistics/SampleLevels.h"
#include "viewer/FrameHandover.h"

class CFrameView;
class QPainter;
class QWidget;

// The region the Statistics and Time Series windows measure beside the whole frame: a ring
// band and a sector range, set in the Statistics window or by Shift+dragging on the picture.
// It is outlined on screen only; saved and exported pictures never show it.
class CRegionSelection : public QObject {
  public:
    CRegionSelection(QWidget* pArea, CFrameView* pView);

    const std::optional<SampleRegion>& Region() const { return m_region; }
    void SetRegion(const std::optional<SampleRegion>& region);
    // Called after every change, on the user-interface thread.
    void AddListener(std::function<void()> listener);

    // Outlines the region over the picture as it is drawn.
    void Paint(QPainter& painter, const CFrameHandover::ScreenPicture& picture) const;

    // The sensor's ring and sector (of the 252) under view point (x, y) of the picture on
    // screen, or nothing off the picture or the sensor.
    static std::optional<std::pair<int, int>> RingAndSectorAt(
        const CFrameHandover::ScreenPicture& picture, int x, int y);
    // The region a drag from one (ring, sector) to another spans: both rings and the
    // shorter way round between the sectors.
    static SampleRegion Spanning(std::pair<int, int> from, std::pair<int, int> to);

  protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

  private:
    QPointer<QWidget> m_pArea;
    QPointer<CFrameView> m_pView;
    std::optional<SampleRegion> m_region;
    std::optional<std::pair<int, int>> m_dragStart;
    std::vector<std::function<void()>> m_listeners;
};
