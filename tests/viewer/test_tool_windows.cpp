#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "camera/CameraSource.h"
#include "camera/SourceGaze.h"
#include "pixelprobe/PixelValuesText.h"
#include "platform/ui/CmdUI.h"
#include "processing/FlatField.h"
#include "processing/FrameProcessor.h"
#include "resources/Resource.h"
#include "sensor/LogPolarFrame.h"
#include "tests/platform/ui/WidgetTest.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/CameraDlg.h"
#include "viewer/CommandTable.h"
#include "viewer/FrameView.h"
#include "viewer/SharedState.h"
#include "viewer/StartupOptions.h"
#include "viewer/ToolsCommands.h"

namespace {

// One frame whose every sample tells its index: raw = 3 + index mod 40.
std::vector<std::uint8_t> PatternFrame() {
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = std::uint8_t(3 + i % 40);
    }
    return frame;
}

// A window on a replayed recording of one pattern frame, in a folder of its own (so no
// dark image is found: dark levels are 0).
class ToolWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_previousDir = std::filesystem::current_path();
        std::filesystem::current_path(folder.Path());
        const std::vector<std::uint8_t> frame = PatternFrame();
        std::ofstream(folder.File("run.raw"), std::ios::binary)
            .write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
        std::string error;
        ASSERT_TRUE(SelectCameraSource("replay:" + folder.File("run.raw") + ",fps=200", &error))
            << error;
    }
    void Open(const ViewerStartup& startup = {}) {
        m_pDlg = new CCameraDlg;
        m_pDlg->SetStartup(startup, false, "Replay run.raw");
        ASSERT_TRUE(m_pDlg->CreateWithCurrentSource());
        m_pDlg->Core()->SetTimingPath(folder.File("time.inf"));
    }
    // Starts, waits for a painted frame and grabs it: that frame stays on screen.
    void ShowGrabbedFrame() {
        ExecuteViewerCommand(*m_pDlg->Core(), ID_FILE_START);
        ASSERT_TRUE(ProcessEventsUntil([&] {
            return m_pDlg->View()->ShownFrame().bValid &&
                   m_pDlg->View()->ShownFrame().sensor.IsValid();
        }));
        ExecuteViewerCommand(*m_pDlg->Core(), ID_FILE_GRAB);
        QApplication::processEvents();
    }
    void TearDown() override {
        if (m_pDlg) {
            m_pDlg->DestroyWindow();
        }
        QApplication::processEvents();
        std::filesystem::current_path(m_previousDir);
    }
    QString Pane0() const { return m_pDlg->m_statusBar.GetPaneText(0); }

    TempFolder folder;
    std::filesystem::path m_previousDir;
    CCameraDlg* m_pDlg = nullptr;
};

struct ViewCase {
    const char* name;
    bool zoom;
    bool unmapped;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const ViewCase& c, std::ostream* os) {
    *os << c.name;
}

class InspectorViewTest : public ToolWindowsTest, public ::testing::WithParamInterface<ViewCase> {};

// Catches an inspector that names another sample than the one drawn under the mouse (in
// either view and size), reads values of another frame than the one on screen, or keeps its
// text once the mouse leaves the picture.
TEST_P(InspectorViewTest, ValuesOfTheFrameOnScreen) {
    ViewerStartup startup;
    startup.bZoom = GetParam().zoom;
    startup.bUnmapped = GetParam().unmapped;
    startup.gain = 5;
    startup.offset = 10;
    Open(startup);
    ShowGrabbedFrame();
    const CFrameHandover::ScreenPicture& shown = m_pDlg->View()->ShownFrame();
    const ViewerRect& to = shown.destination;
    GainTable table{};
    CFrameProcessor::BuildGainTable(table, 5);
    int checked = 0;
    for (int step = 1; step < 12; ++step) {
        const int x = to.left + to.Width() * step / 12;
        const int y = to.top + to.Height() * (12 - step) / 13;
        const std::string text = m_pDlg->Inspector()->TextAt(x, y);
        ASSERT_FALSE(text.empty()) << x << "," << y;
        const int px = (x - to.left) * shown.width / to.Width();
        const int py = (y - to.top) * shown.height / to.Height();
        const SensorPoint point =
            GetParam().unmapped ? ProbeUnmapped(px, py) : ProbeRemapped(shown.width, px, py);
        if (!point.bInside || !point.bHasRawSample) {
            continue;
        }
        const int raw = 3 + int(point.rawIndex % 40);
        const std::size_t at = (std::size_t(shown.height - 1 - py) * shown.width + px) * 3;
        const std::string expected = " \u00b7 raw " + std::to_string(raw) + " dark 0 \u2192 " +
                                     std::to_string(table[raw + 10]) + " \u00b7 shown " +
                                     std::to_string(shown.pixels[at]);
        EXPECT_NE(text.find(expected), std::string::npos) << text << " | " << expected;
        EXPECT_NE(text.find("ring " + std::to_string(point.ring) + " sector " +
                            std::to_string(point.sector)),
                  std::string::npos)
            << text;
        ++checked;
    }
    EXPECT_GT(checked, 5);

    // The mouse itself: moving over the picture shows the text, leaving it brings Ready.
    QWidget* pView = m_pDlg->View();
    const QPoint inside(to.left + to.Width() / 3, to.top + to.Height() / 2);
    QMouseEvent move(QEvent::MouseMove, QPointF(inside), pView->mapToGlobal(QPointF(inside)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pView->parentWidget(), &move);
    EXPECT_EQ(Pane0().toStdString(), m_pDlg->Inspector()->PaneTextAt(inside.x(), inside.y()));
    const QPoint outside(to.left - 1 > 0 ? to.left - 1 : 0, 2);
    QMouseEvent away(QEvent::MouseMove, QPointF(outside), pView->mapToGlobal(QPointF(outside)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pView->parentWidget(), &away);
    EXPECT_EQ(Pane0(), QStringLiteral("Ready"));
}

INSTANTIATE_TEST_SUITE_P(Views, InspectorViewTest,
                         ::testing::Values(ViewCase{"Remapped256", false, false},
                                           ViewCase{"Remapped512", true, false},
                                           ViewCase{"Unmapped256", false, true},
                                           ViewCase{"Unmapped512", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a statistics window that shows figures of nothing, loses a channel, or sits over
// the picture.
TEST_F(ToolWindowsTest, StatisticsOfTheFrameOnScreen) {
    Open();
    ShowGrabbedFrame();
    ASSERT_TRUE(m_pDlg->OnCmdMsg(ID_TOOLS_STATISTICS, CmdCode::Command, nullptr));
    CStatisticsWindow* pWindow = m_pDlg->Statistics();
    ASSERT_NE(pWindow, nullptr);
    ASSERT_TRUE(ProcessEventsUntil([&] { return pWindow->isVisible(); }));
    pWindow->Refresh();
    const QString figures = pWindow->FiguresText();
    // The pattern frame holds raw levels 3..42, none clipped.
    EXPECT_TRUE(figures.contains(QStringLiteral("<td align=right>3</td>")))
        << figures.toStdString();
    EXPECT_TRUE(figures.contains(QStringLiteral("<td align=right>42</td>")))
        << figures.toStdString();
    EXPECT_TRUE(figures.contains(QStringLiteral("failed reads 0"))) << figures.toStdString();
    EXPECT_TRUE(figures.contains(QStringLiteral("remap"))) << figures.toStdString();
    const QRect main = m_pDlg->GetSafeHwnd()->frameGeometry();
    EXPECT_FALSE(pWindow->frameGeometry().intersects(main));
    pWindow->hide();
}

// Saves the frame the processor holds as Save would, and returns the file's bytes.
std::vector<char> SavedBytes(const std::string& path) {
    CFrameProcessor* pProcessor = g_pProcessor.load();
    EXPECT_NE(pProcessor, nullptr);
    EXPECT_EQ(pProcessor->SaveBitmap(pProcessor->Width(), pProcessor->Height(), path.c_str()), 1);
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Catches the clipping marks or the region outline painted into the frame itself (then
// saved and exported) instead of over it on screen, and marks that never reach the screen.
TEST_F(ToolWindowsTest, ScreenMarksLeaveTheSavedFrameAlone) {
    ViewerStartup startup;
    startup.offset = -30;  // the pattern's darker samples show black
    Open(startup);
    ShowGrabbedFrame();
    const std::vector<char> before = SavedBytes(folder.File("before.bmp"));
    const QImage plain = m_pDlg->View()->grab().toImage();
    ASSERT_TRUE(m_pDlg->OnCmdMsg(ID_TOOLS_SHOW_CLIPPING, CmdCode::Command, nullptr));
    SampleRegion region;
    region.firstRing = 60;
    region.lastRing = 120;
    region.firstSector = 250;
    region.lastSector = 20;
    m_pDlg->Measure()->Region()->SetRegion(region);
    const QImage marked = m_pDlg->View()->grab().toImage();
    bool bBlue = false;
    for (int y = 0; y < marked.height() && !bBlue; ++y) {
        for (int x = 0; x < marked.width() && !bBlue; ++x) {
            bBlue =
                marked.pixel(x, y) == qRgb(0, 90, 255) && plain.pixel(x, y) != marked.pixel(x, y);
        }
    }
    EXPECT_TRUE(bBlue);
    EXPECT_EQ(SavedBytes(folder.File("after.bmp")), before);
}

struct PlaceCase {
    const char* name;
    QRect main;
    QRect screen;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

class StatisticsPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

// Catches a tool window placed over the main window (and so over the picture), or off a
// screen that has room for it.
TEST_P(StatisticsPlaceTest, BesideNeverOver) {
    const QSize size(360, 420);
    constexpr CToolWindow::Side kSides[] = {CToolWindow::Side::kRight, CToolWindow::Side::kLeft,
                                            CToolWindow::Side::kBelow};
    const QPoint at = CToolWindow::PlaceBeside(GetParam().main, size, GetParam().screen, kSides);
    const QRect placed(at, size);
    EXPECT_FALSE(placed.intersects(GetParam().main));
    EXPECT_TRUE(GetParam().screen.contains(placed));
}

INSTANTIATE_TEST_SUITE_P(
    Screens, StatisticsPlaceTest,
    ::testing::Values(PlaceCase{"RoomOnTheRight", {400, 300, 264, 351}, {0, 0, 1280, 1024}},
                      PlaceCase{"RoomOnTheLeftOnly", {900, 300, 264, 351}, {0, 0, 1280, 1024}},
                      PlaceCase{"RoomBelowOnly", {300, 20, 520, 607}, {0, 0, 1024, 1100}}),
    [](const auto& info) { return std::string(info.param.name); });

struct OptionsCase {
    const char* name;
    std::vector<const char*> arguments;
    std::optional<bool> implied;
    bool ok;
    std::optional<bool> color;
    std::optional<int> gain;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const OptionsCase& c, std::ostream* os) {
    *os << c.name;
}

class StartupOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

// Catches an option read wrongly or accepted out of range, a source's sensor that overrides
// --sensor (or is ignored without it), and a combination that cannot be shown.
TEST_P(StartupOptionsTest, ReadsOrRefuses) {
    QCommandLineParser parser;
    AddStartupOptions(parser);
    QStringList arguments{QStringLiteral("pandry")};
    for (const char* argument : GetParam().arguments) {
        arguments << QString::fromUtf8(argument);
    }
    ASSERT_TRUE(parser.parse(arguments)) << parser.errorText().toStdString();
    StartupChoice choice;
    std::string error;
    EXPECT_EQ(ReadStartupOptions(parser, GetParam().implied, &choice, &error), GetParam().ok)
        << error;
    if (GetParam().ok) {
        EXPECT_EQ(choice.startup.bColor, GetParam().color);
        EXPECT_EQ(choice.startup.gain, GetParam().gain);
    } else {
        EXPECT_FALSE(error.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, StartupOptionsTest,
    ::testing::Values(
        OptionsCase{"NoneKeepsDefaults", {}, std::nullopt, true, std::nullopt, std::nullopt},
        OptionsCase{"SourceImpliesColour", {}, true, true, true, std::nullopt},
        OptionsCase{"SensorOverridesSource", {"--sensor", "mono"}, true, true, false, std::nullopt},
        OptionsCase{"Gain", {"--gain", "10"}, std::nullopt, true, std::nullopt, 10},
        OptionsCase{
            "GainTooLarge", {"--gain", "1000"}, std::nullopt, false, std::nullopt, std::nullopt},
        OptionsCase{
            "GainNotANumber", {"--gain", "ten"}, std::nullopt, false, std::nullopt, std::nullopt},
        OptionsCase{
            "UnknownSensor", {"--sensor", "rgb"}, std::nullopt, false, std::nullopt, std::nullopt},
        OptionsCase{"ZoomWithHistogram",
                    {"--zoom", "--histogram"},
                    std::nullopt,
                    false,
                    std::nullopt,
                    std::nullopt},
        OptionsCase{
            "UnknownView", {"--view", "polar"}, std::nullopt, false, std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// Two mouse tools share the picture: a plain left drag moves the source's gaze, Shift and
// drag draws a region. Catches either one taking the other's drag (a region drawn by a gaze
// drag, or the gaze moved while a region is drawn).
TEST_F(ToolWindowsTest, PlainDragMovesTheGazeShiftDragDrawsARegion) {
    std::ofstream(folder.File("grey.pgm"), std::ios::binary) << "P5 64 64 255\n"
                                                             << std::string(64 * 64, char(90));
    std::string error;
    ASSERT_TRUE(SelectCameraSource("image:" + folder.File("grey.pgm"), &error)) << error;
    Open();
    ShowGrabbedFrame();
    const std::shared_ptr<CSourceGaze> gaze = ActiveSourceGaze();
    ASSERT_TRUE(gaze);
    const ViewerRect& to = m_pDlg->View()->ShownFrame().destination;
    QWidget* pArea = m_pDlg->View()->parentWidget();
    const auto drag = [&](Qt::KeyboardModifiers keys) {
        const QPoint from(to.left + to.Width() / 3, to.top + to.Height() / 3);
        const QPoint till(to.left + to.Width() / 2, to.top + to.Height() / 2);
        const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button,
                              Qt::MouseButtons held) {
            const QPoint local = m_pDlg->View()->mapTo(pArea, at);
            QMouseEvent event(type, QPointF(local), pArea->mapToGlobal(QPointF(local)), button,
                              held, keys);
            QApplication::sendEvent(pArea, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, till, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, till, Qt::LeftButton, Qt::NoButton);
    };
    const Gaze before = gaze->Get();
    drag(Qt::NoModifier);
    EXPECT_NE(gaze->Get(), before);
    EXPECT_FALSE(m_pDlg->Measure()->Region()->Region());
    const Gaze moved = gaze->Get();
    drag(Qt::ShiftModifier);
    EXPECT_EQ(gaze->Get(), moved);
    EXPECT_TRUE(m_pDlg->Measure()->Region()->Region());
}

namespace {

// Keeps the check mark an update handler gives.
class CCheckCmdUI : public CCmdUI {
  public:
    using CCmdUI::CCmdUI;
    void SetCheck(int nCheck) override { m_nCheck = nCheck; }
    int m_nCheck = -1;
};

class ToolWindowCommandTest : public ToolWindowsTest,
                              public ::testing::WithParamInterface<unsigned> {};

// Catches a tool window that its Tools command does not show beside the main window, whose
// check mark does not follow it, that the command does not hide again, or that does not
// refresh on its own while shown.
TEST_P(ToolWindowCommandTest, CommandShowsBesideRefreshesAndHides) {
    Open();
    ShowGrabbedFrame();
    CToolWindow* pWindow = m_pDlg->ToolWindowFor(GetParam());
    ASSERT_NE(pWindow, nullptr);
    CCheckCmdUI state(GetParam());
    ASSERT_TRUE(m_pDlg->OnCmdMsg(GetParam(), CmdCode::Command, nullptr));
    ASSERT_TRUE(ProcessEventsUntil([&] { return pWindow->isVisible(); }));
    m_pDlg->OnCmdMsg(GetParam(), CmdCode::Update, &state);
    EXPECT_EQ(state.m_nCheck, 1);
    EXPECT_FALSE(pWindow->frameGeometry().intersects(m_pDlg->GetSafeHwnd()->frameGeometry()));
    if (GetParam() == ID_TOOLS_TIME_SERIES) {
        EXPECT_TRUE(
            ProcessEventsUntil([&] { return !m_pDlg->TimeSeries()->Series().Points().empty(); }));
    }
    ASSERT_TRUE(m_pDlg->OnCmdMsg(GetParam(), CmdCode::Command, nullptr));
    EXPECT_FALSE(pWindow->isVisible());
    m_pDlg->OnCmdMsg(GetParam(), CmdCode::Update, &state);
    EXPECT_EQ(state.m_nCheck, 0);
}

INSTANTIATE_TEST_SUITE_P(Tools, ToolWindowCommandTest,
                         ::testing::Values(ID_TOOLS_STATISTICS, ID_TOOLS_TIME_SERIES,
                                           ID_TOOLS_GAZE),
                         [](const auto& info) {
                             return info.param == ID_TOOLS_STATISTICS    ? "Statistics"
                                    : info.param == ID_TOOLS_TIME_SERIES ? "TimeSeries"
                                                                         : "Gaze";
                         });

// Catches the Tools pop-up missing from the menu, out of its place before Help, or with an
// item, id or tip changed when its tables moved to the viewer.
TEST_F(ToolWindowsTest, ToolsPopUpSitsBeforeHelpWithItsItemsAndTips) {
    Open();
    const QList<QAction*> titles = m_pDlg->GetMenu()->actions();
    ASSERT_EQ(titles.size(), 6);
    EXPECT_EQ(titles[4]->text(), QStringLiteral("&Tools"));
    EXPECT_EQ(titles[5]->text(), QStringLiteral("&Help"));
    const std::vector<std::pair<QString, unsigned>> expected = {
        {"&Auto Levels\tCtrl+L", ID_TOOLS_AUTO_LEVELS},
        {"S&tatistics\tCtrl+T", ID_TOOLS_STATISTICS},
        {"&Record...\tCtrl+R", ID_TOOLS_RECORD},
        {"Time S&eries", ID_TOOLS_TIME_SERIES},
        {"Show &Clipping", ID_TOOLS_SHOW_CLIPPING},
        {"&Gaze...\tCtrl+G", ID_TOOLS_GAZE},
        {"Running A&verage...", ID_TOOLS_RUNNING_AVERAGE},
        {"Calibrate &Flat...", ID_TOOLS_CALIBRATE_FLAT}};
    const QList<QAction*> items = titles[4]->menu()->actions();
    ASSERT_EQ(items.size(), qsizetype(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(items[qsizetype(i)]->text(), expected[i].first);
        EXPECT_EQ(items[qsizetype(i)]->data().toUInt(), expected[i].second);
    }
    EXPECT_EQ(m_pDlg->GetToolTipText(ID_TOOLS_GAZE), QStringLiteral("Gaze"));
}

// Catches Tools > Calibrate Flat not taking the running camera's frames, storing other levels
// than their mean less the dark image, or never telling the operator it is done.
TEST_F(ToolWindowsTest, CalibrateFlatStoresTheMeanOfTheNextFrames) {
    Open();
    ExecuteViewerCommand(*m_pDlg->Core(), ID_FILE_START);
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_pDlg->Core()->IsRunning() != 0; }));
    m_pDlg->Core()->BeginFlatCalibration(folder.File("white.flat"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !m_pDlg->Core()->IsCalibratingFlat(); }));
    FlatImage flat;
    ASSERT_TRUE(LoadFlatFile(folder.File("white.flat"), &flat));
    EXPECT_EQ(flat.frames, CFlatCalibration::kFrames);
    const std::vector<std::uint8_t> frame = PatternFrame();  // no dark image here: dark is 0
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), flat.levels.begin(),
                           [](std::uint8_t raw, float level) { return float(raw) == level; }));
    // The summary comes in a message box: read it and close it.
    QString told;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            told = pBox->text();
            pBox->accept();
        }
    });
    closer.start(10);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !told.isEmpty(); }));
    EXPECT_TRUE(told.startsWith("Flat image of 16 frames: ")) << told.toStdString();
}

}  // namespace
