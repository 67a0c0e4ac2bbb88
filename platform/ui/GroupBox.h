#pragma once

#include <QGroupBox>

// A group box drawn as dialog templates expect it: an etched frame whose top line runs
// through the middle of the title, so the template's positions inside it hold.
class CGroupBox : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;

  protected:
    void paintEvent(QPaintEvent* pEvent) override;
};
