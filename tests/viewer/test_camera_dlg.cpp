#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QSpinBox>
#include <thread>
#include <vector>

#include "camera/CameraSource.h"
#include "export/ExportFormats.h"
#include "resources/Resource.h"
#include "tests/platform/ui/WidgetTest.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/CameraDlg.h"
#include "viewer/FrameView.h"
#include "viewer/RecordDialog.h"
#include "viewer/ViewerLayout.h"

namespace {

using ::testing::MatchesRegex;

QRgb PixelAt(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixel(x, y);
}

// Catches a paint that shows a frame handed over from another thread in the wrong place or
// colour order, or keeps showing it after the frames ended.
TEST(FrameView, ShowsFramesFromTheWorkerAndTheBackgroundOtherwise) {
    CFrameView view;
    view.resize(256, 307);
    view.LoadBackground(256, 256, 31);
    view.show();
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.PaintCount() > 0; }));
    const QRgb background = PixelAt(view, 128, 160);

    std::vector<std::uint8_t> frame(256 * 256 * 3);
    for (std::size_t i = 0; i < frame.size(); i += 3) {
        frame[i] = 10;       // blue
        frame[i + 1] = 20;   // green
        frame[i + 2] = 200;  // red
    }
    std::thread worker([&] {
        view.DrawFrame(frame.data(), MakeRgbHeader(256, 256), {0, 33, 256, 289});
    });
    worker.join();
    const int paints = view.PaintCount();
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.PaintCount() > paints; }));
    EXPECT_EQ(PixelAt(view, 128, 160), qRgb(200, 20, 10));
    EXPECT_EQ(PixelAt(view, 5, 32), PixelAt(view, 5, 31));  // two background rows above the frame

    view.EndFrames();
    const int paintsAfterEnd = view.PaintCount();
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.PaintCount() > paintsAfterEnd; }));
    EXPECT_EQ(PixelAt(view, 128, 160), background);
}

// Catches a plot drawn again by a paint the acquisition did not ask for (the window restored,
// uncovered or laid out anew while acquisition is off): the area must show the background.
TEST(FrameView, HistogramIsDrawnOnlyWhenTheWorkerPlots) {
    CFrameView view;
    view.resize(256, 407);
    view.show();
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.PaintCount() > 0; }));
    const QRgb background = PixelAt(view, 128, 340);
    const std::vector<std::uint8_t> white(256 * 100 * 3, 255);
    view.DrawHistogram(white.data(), 0, 289, view.HistogramGeneration());
    const int paints = view.PaintCount();
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.PaintCount() > paints; }));
    const QImage onScreen = view.screen()->grabWindow(view.winId()).toImage();
    if (!onScreen.isNull()) {
        EXPECT_EQ(onScreen.pixel(128, 340), qRgb(255, 255, 255));
    }
    view.repaint();  // as after a restore: no new plot came
    EXPECT_EQ(PixelAt(view, 128, 340), background);
}

// Catches a format offered by Save that the format table does not name, or the reverse; BMP
// stays first, the default.
TEST(SaveDialog, OffersTheTablesFormatsForSave) {
    const std::string filter = CCameraDlg::SaveFilter();
    EXPECT_EQ(filter, "Bitmap Files (*.bmp)|*.bmp|PNG Files (*.png)|*.png||");
    for (const ExportFormat& format : ExportFormats()) {
        EXPECT_EQ(filter.find(std::string("|*.") + format.extension + "|") != std::string::npos,
                  format.bSavedFromViewer)
            << format.extension;
    }
}

class CameraDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(SelectCameraSource("sim", &error)) << error;
        m_pDlg = new CCameraDlg;
        ASSERT_TRUE(m_pDlg->CreateWithCurrentSource());
        m_pCore = m_pDlg->Core();
        m_pCore->SetTimingPath(folder.File("time.inf"));
    }
    void TearDown() override {
        if (m_pDlg) {
            m_pDlg->DestroyWindow();
        }
        QApplication::processEvents();
        // The window deletes itself; nothing it opened may stay on screen.
        EXPECT_EQ(VisibleTopLevelCount(), 0);
    }

    CFrameView& View() { return *m_pDlg->View(); }

    CCameraDlg* m_pDlg = nullptr;
    CViewerCore* m_pCore = nullptr;
    TempFolder folder;
};

// Catches client-area positions that do not hold once the geometry reaches the toolkit.
TEST_F(CameraDlgTest, ClientAreaMatchesTheLayout) {
    EXPECT_EQ(m_pDlg->GetClientRect().size(), QSize(256, 307));
    EXPECT_EQ(m_pDlg->m_statusBar.GetSafeHwnd()->geometry().top(), 287);
    m_pDlg->SendCommand(ID_VIEW_HISTOGRAM);
    EXPECT_EQ(m_pDlg->GetClientRect().size(), QSize(256, 407));
    EXPECT_EQ(m_pDlg->m_statusBar.GetSafeHwnd()->geometry().top(), 387);
    EXPECT_EQ(View().geometry(), m_pDlg->GetClientRect());
}

// Catches a Start that never reaches the screen, a pane that stays empty while running, a
// toolbar flag that does not follow the state, or a report that miscounts the frames.
TEST_F(CameraDlgTest, StartShowsLiveFramesAndTheRate) {
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().PaintCount() > 0; }));
    const QImage before = View().grab().toImage();
    m_pDlg->SendCommand(ID_FILE_START);
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_pCore->FramesDone() >= 3; }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().grab().toImage() != before; }));
    ASSERT_TRUE(
        ProcessEventsUntil([&] { return m_pDlg->m_statusBar.GetPaneText(1).contains("fps"); }));
    m_pDlg->OnIdleUpdateCmdUI();
    EXPECT_TRUE(m_pDlg->m_toolBar.GetButton(ID_FILE_START)->isChecked());
    m_pDlg->SendCommand(ID_FILE_START);
    m_pDlg->OnIdleUpdateCmdUI();
    EXPECT_FALSE(m_pDlg->m_toolBar.GetButton(ID_FILE_START)->isChecked());
    // The worker has been joined: the count it reported is the last one it published.
    EXPECT_THAT(ReadWhole(folder.File("time.inf")),
                MatchesRegex("Time = [0-9]+    Frames = " + std::to_string(m_pCore->FramesDone())));
}

// Catches the last plot left standing once acquisition stops: the window's stored picture,
// read without asking for a repaint (as a restore or an uncover is served), must show the
// background in the histogram area.
TEST_F(CameraDlgTest, HistogramAreaShowsTheBackgroundAfterAStop) {
    QWidget* pWindow = m_pDlg->GetSafeHwnd();
    m_pDlg->SendCommand(ID_VIEW_HISTOGRAM);
    const QPoint inPlot = View().mapTo(pWindow, QPoint(200, 380));
    const auto stored = [&] { return pWindow->screen()->grabWindow(pWindow->winId()).toImage(); };
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().PaintCount() > 0; }));
    if (stored().isNull()) {
        GTEST_SKIP() << "this platform keeps no stored picture of a window";
    }
    const QRgb background = stored().pixel(inPlot);
    m_pDlg->SendCommand(ID_FILE_START);
    ASSERT_TRUE(ProcessEventsUntil([&] { return stored().pixel(inPlot) != background; }));
    m_pDlg->SendCommand(ID_FILE_START);  // pause
    EXPECT_TRUE(ProcessEventsUntil([&] { return stored().pixel(inPlot) == background; }));
}

// Catches update handlers that do not follow the state (Save and Calibrate in Idle).
TEST_F(CameraDlgTest, CommandsFollowTheRules) {
    EXPECT_FALSE(m_pDlg->SendCommand(12345));
    m_pDlg->OnIdleUpdateCmdUI();
    EXPECT_FALSE(m_pDlg->m_toolBar.GetButton(ID_FILE_SAVE)->isEnabled());
    EXPECT_FALSE(m_pDlg->m_toolBar.GetButton(ID_FILE_CALIBRATE)->isEnabled());
    m_pDlg->SendCommand(ID_FILE_START);
    m_pDlg->OnIdleUpdateCmdUI();
    EXPECT_TRUE(m_pDlg->m_toolBar.GetButton(ID_FILE_CALIBRATE)->isEnabled());
    EXPECT_TRUE(m_pDlg->m_toolBar.GetButton(ID_FILE_GRAB)->isEnabled());
    m_pDlg->SendCommand(ID_FILE_GRAB);
    m_pDlg->OnIdleUpdateCmdUI();
    EXPECT_TRUE(m_pDlg->m_toolBar.GetButton(ID_FILE_SAVE)->isEnabled());
}

}  // namespace

namespace {

// Catches a Record dialog whose plan starts on (a recording that would not store every frame
// read, as it did before the plan existed) or does not say what its fields hold.
TEST(RecordDialog, PlanStartsOffAndFollowsItsFields) {
    CRecordDialog dialog(nullptr);
    EXPECT_TRUE(dialog.Plan().IsPlain());
    EXPECT_EQ(dialog.Plan().frames, 0u);
    EXPECT_TRUE(dialog.EveryField().isVisibleTo(&dialog));
    dialog.EveryField().setValue(2.5);
    dialog.AverageField().setValue(4);
    EXPECT_EQ(dialog.Plan().every, 2.5);
    EXPECT_EQ(dialog.Plan().average, 4u);
}

}  // namespace
