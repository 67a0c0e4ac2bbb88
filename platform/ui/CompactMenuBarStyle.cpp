#include "platform/ui/CompactMenuBarStyle.h"

#include <QStyleOptionMenuItem>
#include <algorithm>

namespace {

constexpr int kTitleMargin = 4;  // each side of a title's text

}  // namespace

QSize CCompactMenuBarStyle::sizeFromContents(ContentsType type, const QStyleOption* pOption,
                                             const QSize& size, const QWidget* pWidget) const {
    QSize result = QProxyStyle::sizeFromContents(type, pOption, size, pWidget);
    const auto* pItem = qstyleoption_cast<const QStyleOptionMenuItem*>(pOption);
    if (type == CT_MenuBarItem && pItem != nullptr) {
        QString title = pItem->text;
        title.remove(QLatin1Char('&'));
        const int compact = pItem->fontMetrics.horizontalAdvance(title) + 2 * kTitleMargin;
        result.setWidth(std::min(result.width(), compact));
    }
    return result;
}

int CCompactMenuBarStyle::pixelMetric(PixelMetric metric, const QStyleOption* pOption,
                                      const QWidget* pWidget) const {
    if (metric == PM_MenuBarItemSpacing || metric == PM_MenuBarHMargin) {
        return 0;
    }
    return QProxyStyle::pixelMetric(metric, pOption, pWidget);
}

int CCompactMenuBarStyle::styleHint(StyleHint hint, const QStyleOption* pOption,
                                    const QWidget* pWidget, QStyleHintReturn* pReturnData) const {
    if (hint == SH_DrawMenuBarSeparator) {
        return 1;
    }
    return QProxyStyle::styleHint(hint, pOption, pWidget, pReturnData);
}
