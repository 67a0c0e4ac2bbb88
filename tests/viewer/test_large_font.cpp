// The main window under a large application font (offscreen): every bar readable and in
// place at both sizes, histogram shown and hidden.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QToolButton>
#include <ostream>
#include <string>

#include "camera/CameraSource.h"
#include "resources/Resource.h"
#include "shell/StatusPane.h"
#include "viewer/CameraDlg.h"

namespace {

struct WindowCase {
    int fontPixels;
    bool bZoomed;
    bool bHistogram;
    bool bStyleSheet = false;  // the font set by a style sheet, which reaches widgets late
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.fontPixels << " px font at " << (c.bZoomed ? 512 : 256)
        << (c.bHistogram ? " with histogram" : "") << (c.bStyleSheet ? " from a style sheet" : "");
}

std::string CaseName(const ::testing::TestParamInfo<WindowCase>& info) {
    const WindowCase& c = info.param;
    return "Font" + std::to_string(c.fontPixels) + (c.bZoomed ? "At512" : "At256") +
           (c.bHistogram ? "WithHistogram" : "") + (c.bStyleSheet ? "FromStyleSheet" : "");
}

class LargeFontWindow : public ::testing::TestWithParam<WindowCase> {
  protected:
    void SetUp() override {
        if (GetParam().bStyleSheet) {
            qApp->setStyleSheet(
                QStringLiteral("* { font-size: %1px; }").arg(GetParam().fontPixels));
        } else {
            QFont font = QApplication::font();
            font.setPixelSize(GetParam().fontPixels);
            QApplication::setFont(font);
        }
        std::string error;
        ASSERT_TRUE(SelectCameraSource("sim", &error)) << error;
        m_pDlg = new CCameraDlg;
        ASSERT_TRUE(m_pDlg->CreateWithCurrentSource());
        if (GetParam().bZoomed) {
            m_pDlg->SendCommand(ID_VIEW_ZOOM);
        }
        if (GetParam().bHistogram) {
            m_pDlg->SendCommand(ID_VIEW_HISTOGRAM);
        }
        QApplication::processEvents();
    }
    void TearDown() override {
        if (m_pDlg) {
            m_pDlg->DestroyWindow();
        }
        qApp->setStyleSheet(QString());
        QApplication::setFont(m_originalFont);
        QApplication::processEvents();
    }

    CCameraDlg* m_pDlg = nullptr;
    const QFont m_originalFont = QApplication::font();  // each case starts from the usual font
};

// Catches titles pushed behind the overflow button ("File View »") or cut off at the bar's
// edges when a large font needs a second row of titles.
TEST_P(LargeFontWindow, EveryMenuTitleShows) {
    QMenuBar* pBar = m_pDlg->GetMenu();
    int nTitles = 0;
    for (QAction* pTitle : pBar->actions()) {
        if (pTitle->isSeparator()) {
            continue;
        }
        ++nTitles;
        EXPECT_TRUE(pBar->rect().contains(pBar->actionGeometry(pTitle)))
            << pTitle->text().toStdString();
    }
    EXPECT_EQ(nTitles, 6);
    for (const QToolButton* pOverflow : pBar->findChildren<QToolButton*>()) {
        EXPECT_FALSE(pOverflow->isVisible());
    }
    // The client area starts below the whole bar.
    EXPECT_GE(m_pDlg->GetClientWidget()->geometry().top(), pBar->geometry().bottom() + 1);
}

// Catches a status bar too low for its font ("Ready" clipped) and an empty band between it
// and the window's bottom edge.
TEST_P(LargeFontWindow, StatusBarIsReadableAndEndsTheWindow) {
    QWidget* pStatus = m_pDlg->m_statusBar.GetSafeHwnd();
    EXPECT_EQ(pStatus->geometry().bottom(), m_pDlg->GetClientRect().bottom());
    const auto panes = pStatus->findChildren<CStatusPane*>();
    ASSERT_FALSE(panes.isEmpty());
    for (const CStatusPane* pPane : panes) {
        EXPECT_GE(pPane->contentsRect().height(), pPane->fontMetrics().height());
    }
    EXPECT_EQ(panes.front()->ShownText(), QStringLiteral("Ready"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargeFontWindow,
                         ::testing::Values(WindowCase{20, false, false},
                                           WindowCase{26, false, false},
                                           WindowCase{26, false, true}, WindowCase{26, true, false},
                                           WindowCase{20, false, false, true}),
                         CaseName);

}  // namespace
