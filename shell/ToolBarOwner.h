#pragma once

#include <QString>

class QWidget;

// What the toolbar needs of the window it sits in, and no more.
class IToolBarOwner {
  public:
    // The widget the bar is a child of.
    virtual QWidget* ToolBarParent() const = 0;
    virtual QString ToolBarTip(unsigned nID) const = 0;
    // A button was pressed.
    virtual void RunToolBarCommand(unsigned nID) = 0;
    // The pointer rests on button nID, or (0) has left the bar.
    virtual void ShowToolBarPrompt(unsigned nID) = 0;

  protected:
    ~IToolBarOwner() = default;
};
