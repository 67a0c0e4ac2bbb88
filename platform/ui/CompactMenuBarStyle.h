#pragma once

#include <QProxyStyle>

// Menu bar titles with a narrow margin, so that all six pop-up titles fit the 256-pixel
// window instead of the last ones hiding behind the overflow button.
class CCompactMenuBarStyle : public QProxyStyle {
  public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* pOption, const QSize& size,
                           const QWidget* pWidget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* pOption,
                    const QWidget* pWidget) const override;
};
