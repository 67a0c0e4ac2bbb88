#pragma once

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "camera/SourceGaze.h"

// Tools > Gaze: the source's whole picture with the sensor's rings and sectors drawn over
// it where the gaze puts them, and the gaze marked. A left drag puts the gaze under the
// pointer; the wheel widens or narrows the field. While shown it asks the source for its
// pictures, ten times a second at most.
class CGazeWindow : public QWidget {
  public:
    explicit CGazeWindow(QWidget* pMain);

    // The picture's place in the window (empty before the first picture).
    QRectF PictureRect() const;

  protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

  private:
    void Refresh();
    void AimAt(const QPointF& at);
    void DrawSensor(QPainter& painter, const QRectF& place, const Gaze& gaze) const;

    std::shared_ptr<CSourceGaze> m_pGaze;  // the source's, taken when shown
    QImage m_picture;
    QTimer m_timer;
};
