#pragma once

#include <QImage>
#include <memory>

#include "camera/SourceGaze.h"
#include "viewer/ToolWindow.h"

// Tools > Gaze: the source's whole picture with the sensor's rings and sectors drawn over
// it where the gaze puts them, and the gaze marked. A left drag puts the gaze under the
// pointer; the wheel widens or narrows the field. While shown it asks the source for its
// pictures and takes the newest on the tool windows' refresh.
class CGazeWindow : public CToolWindow {
  public:
    explicit CGazeWindow(QWidget* pMain);

    // Only a source that samples a picture has a gaze to move.
    bool IsAvailable() const override;
    void Refresh() override;
    QSize sizeHint() const override;

    // The picture's place in the window (empty before the first picture).
    QRectF PictureRect() const;

  protected:
    void OnShown() override;
    void OnHidden() override;
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

  private:
    void AimAt(const QPointF& at);
    void DrawSensor(QPainter& painter, const QRectF& place, const Gaze& gaze) const;

    std::shared_ptr<CSourceGaze> m_pGaze;  // the source's, taken when shown
    QImage m_picture;
};
