#pragma once

#include <QProxyStyle>

// Menu bar titles with a narrow margin, so that all six pop-up titles fit the 256-pixel
// window instead of the last ones hiding behind the overflow button. A separator title
// breaks the row (see FitMenuBarRows), for fonts too large for one.
class CCompactMenuBarStyle : public QProxyStyle {
  public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* pOption, const QSize& size,
                           const QWidget* pWidget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* pOption,
                    const QWidget* pWidget) const override;
    int styleHint(StyleHint hint, const QStyleOption* pOption, const QWidget* pWidget,
                  QStyleHintReturn* pReturnData) const override;
};
