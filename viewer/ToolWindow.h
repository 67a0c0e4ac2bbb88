#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <initializer_list>
#include <span>
#include <vector>

// What every tool window of the main window shares: its menu item shows it beside the main
// window, where it does not cover the picture, or hides it; while shown it refreshes on its
// own timer, at most ten times a second, and does nothing while hidden.
class CToolWindow : public QWidget {
  public:
    // Sides of the main window a tool window may sit on, tried in the order given.
    enum class Side { kRight, kLeft, kBelow };

    CToolWindow(QWidget* pMain, const QString& title, std::initializer_list<Side> sides);

    // The menu item's command: shows the window beside the main one, or hides it.
    void Toggle();
    void ShowBesideMain();
    // The menu item's state: whether it can be used, and its check mark.
    virtual bool IsAvailable() const { return true; }
    bool IsShown() const { return isVisible(); }

    // Reads its figures again now (the timer does it while the window is shown).
    virtual void Refresh() = 0;

    // Where a window of this size goes beside the main window's frame on this screen: the
    // first side that holds it whole; otherwise the side with the most room, pushed onto the
    // screen as far as that goes without covering the main window.
    static QPoint PlaceBeside(const QRect& main, const QSize& size, const QRect& screen,
                              std::span<const Side> sides);

  protected:
    // Before the first refresh of a showing, and after the last one.
    virtual void OnShown() {}
    virtual void OnHidden() {}

    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

  private:
    QPointer<QWidget> m_pMain;
    std::vector<Side> m_sides;
    QTimer m_timer;
};
