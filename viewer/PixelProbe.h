#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <functional>
#include <string>

class CFrameView;

// Watches the mouse over the main window's client area and tells, in the first status
// pane (short form) and its tool tip (the whole readout), what the picture on screen shows
// under it and what the sensor saw there. Ctrl+C while it shows copies the whole readout
// as one line. Leaving the picture brings "Ready" back.
class CPixelInspector : public QObject {
  public:
    using ShowText = std::function<void(const std::string& pane, const std::string& whole)>;

    CPixelInspector(QWidget* pArea, CFrameView* pView, ShowText show, ShowText restore);

    // Live frames change under a still mouse: says again what is under it now.
    void Refresh();
    // The whole readout for view point (x, y), or empty when the point is off the picture.
    std::string TextAt(int x, int y) const;
    // The status pane's short form of the same.
    std::string PaneTextAt(int x, int y) const;

  protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

  private:
    void Leave();
    void ShowAt(const QPoint& at);

    QPointer<QWidget> m_pArea;
    QPointer<CFrameView> m_pView;
    ShowText m_show;
    ShowText m_restore;
    bool m_bShowing = false;
    std::string m_strWhole;  // what Ctrl+C copies: the readout under the mouse, or empty
    QPoint m_lastPoint;
};
