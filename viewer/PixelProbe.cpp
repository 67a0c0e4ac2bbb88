#include "viewer/PixelProbe.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include "viewer/FrameView.h"
#include "viewer/ShownPixel.h"

CPixelInspector::CPixelInspector(QWidget* pArea, CFrameView* pView, ShowText show, ShowText restore)
    : QObject(pArea),
      m_pArea(pArea),
      m_pView(pView),
      m_show(std::move(show)),
      m_restore(std::move(restore)) {
    // The picture lets the mouse through to whatever lies below it, so the moves are
    // watched wherever they land inside the area.
    QWidget* pWindow = pArea->window();
    pWindow->setMouseTracking(true);
    for (QWidget* pChild : pWindow->findChildren<QWidget*>()) {
        pChild->setMouseTracking(true);
    }
    qApp->installEventFilter(this);
}

std::string CPixelInspector::TextAt(int x, int y) const {
    if (!m_pView) {
        return {};
    }
    const std::optional<PixelInspection> inspection =
        InspectShownPicture(m_pView->ShownFrame(), x, y);
    return inspection ? DescribeInspection(*inspection) : std::string();
}

std::string CPixelInspector::PaneTextAt(int x, int y) const {
    if (!m_pView) {
        return {};
    }
    const std::optional<PixelInspection> inspection =
        InspectShownPicture(m_pView->ShownFrame(), x, y);
    return inspection ? ShortInspection(*inspection) : std::string();
}

bool CPixelInspector::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::MouseMove && pWatched->isWidgetType() && m_pArea && m_pView) {
        auto* pWidget = static_cast<QWidget*>(pWatched);
        // Moves over other windows (the line beside the cursor among them) are not ours;
        // leaving the main window is.
        if (pWidget->window() == m_pArea->window()) {
            const QPointF global = static_cast<QMouseEvent*>(pEvent)->globalPosition();
            ShowAt(m_pView->mapFromGlobal(global.toPoint()));
        }
    } else if (pEvent->type() == QEvent::KeyPress && m_bShowing && m_pArea &&
               pWatched->isWidgetType() &&
               static_cast<QWidget*>(pWatched)->window() == m_pArea->window() &&
               static_cast<QKeyEvent*>(pEvent)->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(QString::fromStdString(m_strWhole));
        return true;
    } else if (pEvent->type() == QEvent::Leave && m_pArea && pWatched == m_pArea->window()) {
        Leave();
    }
    return QObject::eventFilter(pWatched, pEvent);
}

void CPixelInspector::Refresh() {
    if (m_bShowing) {
        ShowAt(m_lastPoint);
    }
}

void CPixelInspector::ShowAt(const QPoint& at) {
    m_lastPoint = at;
    const std::string text = TextAt(at.x(), at.y());
    if (text.empty()) {
        Leave();
        return;
    }
    m_strWhole = text;
    m_show(PaneTextAt(at.x(), at.y()), text);
    m_bShowing = true;
}

void CPixelInspector::Leave() {
    if (m_bShowing) {
        m_bShowing = false;
        m_strWhole.clear();
        m_restore("", "");
    }
}
