#pragma once

class QWidget;

// What the main window's bars share: each is a child widget of the window's client area
// that the window places, shows and hides.
class CControlBar {
  public:
    virtual ~CControlBar() = default;

    void SetWindowPos(int x, int y, int cx, int cy);
    bool IsWindowVisible() const;
    void ShowWindow(bool bShow);

  protected:
    // The bar's widget; null before it is created or after it is gone.
    virtual QWidget* BarWidget() const = 0;
};
