#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <memory>

#include "camera/SourceGaze.h"

class CFrameView;
class QWidget;

// Moves the gaze of a source that has one (image:, video:, webcam, gst:) with the mouse on
// the main window's picture: a left drag carries the scene with the pointer, the wheel
// widens or narrows the field. Hovering stays the pixel probe's, and a drag with a
// modifier key is left to whoever wants it.
class CGazeDrag : public QObject {
  public:
    CGazeDrag(QWidget* pArea, CFrameView* pView);

  protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

  private:
    // The side of the square picture under view point `at`; 0 when it is not over one.
    int PictureSideAt(const QPoint& at) const;

    QPointer<QWidget> m_pArea;
    QPointer<CFrameView> m_pView;
    bool m_bDragging = false;
    QPoint m_dragFrom;  // view point where the drag started
    int m_nSide = 0;    // the picture's side when it started
    Gaze m_dragStart;
};
