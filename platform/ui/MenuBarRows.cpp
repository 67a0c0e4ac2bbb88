#include "platform/ui/MenuBarRows.h"

#include <QAction>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <algorithm>
#include <vector>

namespace {

// The size the bar gives a title: what it measures itself before placing titles.
QSize TitleSize(const QMenuBar* pBar, QAction* pTitle) {
    QStyleOptionMenuItem option;
    option.initFrom(pBar);
    option.fontMetrics = pBar->fontMetrics();
    option.menuRect = pBar->rect();
    option.menuItemType = QStyleOptionMenuItem::Normal;
    option.checkType = QStyleOptionMenuItem::NotCheckable;
    option.text = pTitle->text();
    option.icon = pTitle->icon();
    const QSize text = pBar->fontMetrics().size(Qt::TextShowMnemonic, pTitle->text());
    return pBar->style()->sizeFromContents(QStyle::CT_MenuBarItem, &option, text, pBar);
}

void RemoveRowBreaks(QMenuBar* pBar) {
    for (QAction* pAction : pBar->actions()) {
        if (pAction->isSeparator()) {
            pBar->removeAction(pAction);
            delete pAction;
        }
    }
}

}  // namespace

int FitMenuBarRows(QMenuBar* pBar, int cx) {
    RemoveRowBreaks(pBar);
    const QStyle* pStyle = pBar->style();
    const int frame = pStyle->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, pBar);
    const int spacing = pStyle->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, pBar);
    const int margin = pStyle->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, pBar);
    const int cyOneRow = pBar->sizeHint().height();

    std::vector<QAction*> titles;
    std::vector<int> widths;
    int cyTitle = 0;
    for (QAction* pTitle : pBar->actions()) {
        if (!pTitle->isVisible()) {
            continue;
        }
        const QSize size = TitleSize(pBar, pTitle);
        titles.push_back(pTitle);
        widths.push_back(size.width() + spacing);
        cyTitle = std::max(cyTitle, size.height());
    }
    // First title whose right edge would pass the bar's edge.
    const int cxRow = cx - 2 * frame - margin - spacing;
    int right = 0;
    std::size_t nBreak = titles.size();
    for (std::size_t i = 0; i < titles.size(); ++i) {
        right += widths[i];
        if (right > cxRow) {
            nBreak = i;
            break;
        }
    }
    if (nBreak == 0 || nBreak == titles.size()) {
        return cyOneRow;
    }
    int cxSecondRow = 0;
    for (std::size_t i = nBreak; i < titles.size(); ++i) {
        cxSecondRow += widths[i];
    }
    if (cxSecondRow > cxRow) {
        return cyOneRow;  // not even two rows would do: the overflow button stays
    }
    auto* pBreak = new QAction(pBar);
    pBreak->setSeparator(true);
    pBar->insertAction(titles[nBreak], pBreak);
    return cyOneRow + cyTitle;
}
