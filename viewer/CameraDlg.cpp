#include "viewer/CameraDlg.h"
#include "sensor/Defaults.h"

#include <QCommandLineParser>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QScreen>
#include <QToolTip>
#include <cstdio>
#include <cstdlib>

#include "camera/CameraSource.h"
#include "export/ExportFormats.h"
#include "platform/ui/CmdUI.h"
#include "platform/ui/WinApp.h"
#include "processing/ProcessorFactory.h"
#include "recording/RunningAverage.h"
#include "resources/Resource.h"
#include "shell/MyFileDlg.h"
#include "viewer/CommandTable.h"
#include "viewer/RecordDialog.h"
#include "viewer/StartupOptions.h"
#include "viewer/ToolsCommands.h"

namespace {

const unsigned kIndicators[] = {0, 0};
const unsigned kButtons[] = {ID_FILE_SAVE, 0, ID_FILE_CALIBRATE, 0, ID_FILE_GRAB, 0, ID_FILE_START};
constexpr int kRateIntervalMs = 500;
constexpr int kPollIntervalMs = 100;

const QString kCameraOption = QStringLiteral("camera");

}  // namespace

CCameraDlg::CCameraDlg() : m_settings(nullptr) {
    MapViewerCommands<ID_FILE_SAVE, ID_FILE_GRAB, ID_FILE_START, ID_FILE_CALIBRATE, ID_VIEW_ZOOM,
                      ID_VIEW_HISTOGRAM, ID_SETTINGS_DIALOG, ID_OPTIONS_REMAP, ID_OPTIONS_MEDIAN,
                      ID_TOOLS_AUTO_LEVELS, ID_TOOLS_RECORD>();
    MapToolWindows<ID_TOOLS_STATISTICS, ID_TOOLS_TIME_SERIES, ID_TOOLS_GAZE>();
    ON_COMMAND(ID_TOOLS_SHOW_CLIPPING, &CCameraDlg::OnToolsShowClipping);
    ON_UPDATE_COMMAND_UI(ID_TOOLS_SHOW_CLIPPING, &CCameraDlg::OnUpdateToolsShowClipping);
    ON_COMMAND(ID_TOOLS_RUNNING_AVERAGE, &CCameraDlg::OnToolsRunningAverage);
    ON_UPDATE_COMMAND_UI(ID_TOOLS_RUNNING_AVERAGE, &CCameraDlg::OnUpdateToolsRunningAverage);
    ON_COMMAND(ID_TOOLS_CALIBRATE_FLAT, &CCameraDlg::OnToolsCalibrateFlat);
    ON_UPDATE_COMMAND_UI(ID_TOOLS_CALIBRATE_FLAT, &CCameraDlg::OnUpdateToolsCalibrateFlat);
    m_rateTimer.setInterval(kRateIntervalMs);
    QObject::connect(&m_rateTimer, &QTimer::timeout, [this] {
        if (m_pCore) {
            m_pCore->RefreshFrameRate();
        }
    });
    m_pollTimer.setInterval(kPollIntervalMs);
    QObject::connect(&m_pollTimer, &QTimer::timeout, [this] {
        if (m_pCore) {
            m_pCore->PollWorker();
        }
        if (m_pInspector) {
            m_pInspector->Refresh();
        }
    });
}

CCameraDlg::~CCameraDlg() {
    m_pCore.reset();
    if (m_pView && m_pView->parent() == nullptr) {
        delete m_pView;
    }
}

template <unsigned ID>
void CCameraDlg::OnViewerCommand() {
    ExecuteViewerCommand(*m_pCore, ID);
}

template <unsigned ID>
void CCameraDlg::OnUpdateViewerCommand(CCmdUI* pCmdUI) {
    const ViewerCommand* pCommand = FindViewerCommand(ID);
    pCmdUI->Enable(pCommand->IsEnabled(*m_pCore));
    if (pCommand->IsChecked != nullptr) {
        pCmdUI->SetCheck(pCommand->IsChecked(*m_pCore) ? 1 : 0);
    }
}

template <unsigned... IDs>
void CCameraDlg::MapViewerCommands() {
    (ON_COMMAND(IDs, &CCameraDlg::OnViewerCommand<IDs>), ...);
    (ON_UPDATE_COMMAND_UI(IDs, &CCameraDlg::OnUpdateViewerCommand<IDs>), ...);
}

template <unsigned ID>
void CCameraDlg::OnToolWindow() {
    if (CToolWindow* pWindow = ToolWindowFor(ID)) {
        pWindow->Toggle();
    }
}

template <unsigned ID>
void CCameraDlg::OnUpdateToolWindow(CCmdUI* pCmdUI) {
    const CToolWindow* pWindow = ToolWindowFor(ID);
    pCmdUI->Enable(pWindow != nullptr && pWindow->IsAvailable());
    pCmdUI->SetCheck(pWindow != nullptr && pWindow->IsShown() ? 1 : 0);
}

template <unsigned... IDs>
void CCameraDlg::MapToolWindows() {
    (ON_COMMAND(IDs, &CCameraDlg::OnToolWindow<IDs>), ...);
    (ON_UPDATE_COMMAND_UI(IDs, &CCameraDlg::OnUpdateToolWindow<IDs>), ...);
}

CToolWindow* CCameraDlg::ToolWindowFor(unsigned id) const {
    switch (id) {
        case ID_TOOLS_STATISTICS:
            return m_pStatistics.data();
        case ID_TOOLS_TIME_SERIES:
            return m_pTimeSeries.data();
        case ID_TOOLS_GAZE:
            return m_pGazeWindow.data();
    }
    return nullptr;
}

void CCameraDlg::AddCommandLineOptions(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        kCameraOption,
        QStringLiteral("Camera source: auto (the default, or PANDRY_CAMERA), sim, sim-color, "
                       "image:PATH, replay:PATH, none, video:PATH, webcam[:/dev/videoN] or "
                       "gst:PIPELINE, each with options such as sim,fps=0 or "
                       "video:PATH,gaze=X:Y,field=F; pandry-cli sources lists them all."),
        QStringLiteral("SOURCE")));
    AddStartupOptions(parser);
}

void CCameraDlg::SetStartup(const ViewerStartup& startup, bool bStart, std::string sourceName) {
    m_startup = startup;
    m_bStartAtOnce = bStart;
    m_strSourceName = std::move(sourceName);
}

bool CCameraDlg::Create() {
    const CWinApp* pApp = AfxGetApp();
    std::string source = CameraSourceFromEnvironment();
    if (pApp != nullptr && pApp->CommandLine().isSet(kCameraOption)) {
        source = pApp->CommandLine().value(kCameraOption).toStdString();
    }
    std::string error;
    CameraSourceChoice choice;
    if (!ParseCameraSource(source, &choice, &error) || !SelectCameraSource(source, &error)) {
        std::fprintf(stderr, "pandry: camera source \"%s\": %s\n", source.c_str(), error.c_str());
        std::exit(2);
    }
    RecordingMetadata recorded;
    std::string noMetadata;
    const bool hasRecorded = ReplayMetadataOf(choice, &recorded, &noMetadata);
    if (hasRecorded) {
        // The recording's sensor and settings are offered as the start values.
        m_settings.m_bColor = recorded.IsColor() ? 1 : 0;
        m_settings.m_nGain = recorded.gain;
        m_settings.m_nOffset = recorded.offset;
    }
    StartupChoice startup;
    const std::optional<bool> implied =
        hasRecorded ? std::optional<bool>(recorded.IsColor()) : ImpliedColor(choice);
    if (pApp != nullptr && !ReadStartupOptions(pApp->CommandLine(), implied, &startup, &error)) {
        std::fprintf(stderr, "pandry: %s\n", error.c_str());
        std::exit(2);
    }
    bool bFellBack = false;
    std::string name = DescribeCameraSource(
        choice, CPortCamera::DeviceIndexForPort(kDefaultPortAddress), &bFellBack);
    if (bFellBack) {
        std::fputs("pandry: no camera device found; showing the simulated camera\n", stderr);
    }
    SetStartup(startup.startup, startup.bStart, std::move(name));
    const bool created = CreateWithCurrentSource();
    if (m_pCore) {
        m_pCore->SetSourceDescription(source);
        if (hasRecorded) {
            m_pCore->UseRecordedSettings(recorded);
            // What the command line says still wins over the recording.
            ViewerStartup levels;
            levels.offset = startup.startup.offset;
            levels.gain = startup.startup.gain;
            levels.bColor = startup.startup.bColor;
            levels.bAutoLevels = startup.startup.bAutoLevels;
            m_pCore->ApplyStartup(levels);
            m_settings.m_bColor = m_pCore->IsColorProcessor();
        }
    }
    return created;
}

bool CCameraDlg::CreateWithCurrentSource() {
    m_pView = new CFrameView;
    CWindowServices& services = *this;
    m_pCore = std::make_unique<CViewerCore>(*m_pView, services, MakeFrameProcessor,
                                            std::make_unique<CPortCamera>());
    m_pCore->ApplyStartup(m_startup);
    m_settings.m_bColor = m_pCore->IsColorProcessor();
    return CModelessMain::Create(IDD_CAMERA, kIndicators, 2, kButtons, 7, IDR_MAINFRAME);
}

bool CCameraDlg::OnInitDialog() {
    CModelessMain::OnInitDialog();
    m_pView->setParent(GetClientWidget());
    m_pView->lower();  // the bars stay on top of it
    m_pView->SetPaintHook([this] { m_pCore->OnPaint(); });
    m_pView->show();
    m_pCore->OnInitDialog();
    FitViewToClient();
    if (!m_strSourceName.empty()) {
        m_pCore->SetSourceName(m_strSourceName);
    }
    m_pInspector = new CPixelInspector(
        GetClientWidget(), m_pView.data(),
        [this](const std::string& pane, const std::string& whole) {
            SetStatusText(0, pane);
            // The pane is narrow; the whole readout follows the mouse.
            QToolTip::showText(QCursor::pos() + QPoint(14, 18), QString::fromStdString(whole),
                               m_pView.data());
        },
        [this](const std::string&, const std::string&) {
            QToolTip::hideText();
            ShowPrompt(AFX_IDS_IDLEMESSAGE);
        });
    m_pMeasure = std::make_unique<CMeasureTools>(GetClientWidget(), m_pView.data());
    m_pStatistics =
        new CStatisticsWindow(GetSafeHwnd(), m_pView.data(), m_pCore.get(), m_pMeasure->Region());
    m_pTimeSeries =
        new CTimeSeriesWindow(GetSafeHwnd(), m_pView.data(), m_pCore.get(), m_pMeasure->Region());
    new CGazeDrag(GetClientWidget(), m_pView.data());
    m_pGazeWindow = new CGazeWindow(GetSafeHwnd());
    m_rateTimer.start();
    m_pollTimer.start();
    if (m_bStartAtOnce) {
        QTimer::singleShot(0, GetSafeHwnd(),
                           [this] { ExecuteViewerCommand(*m_pCore, ID_FILE_START); });
    }
    return true;
}

void CCameraDlg::OnDestroy() {
    m_rateTimer.stop();
    m_pollTimer.stop();
    // Before the region they listen to goes with the measuring tools.
    for (unsigned id : {ID_TOOLS_STATISTICS, ID_TOOLS_TIME_SERIES, ID_TOOLS_GAZE}) {
        delete ToolWindowFor(id);
    }
    m_pMeasure.reset();
    CModelessMain::OnDestroy();
    if (m_pCore) {
        m_pCore->OnDestroy();
    }
}

void CCameraDlg::PlaceWindow(int x, int y, int cx, int cy) {
    SetWindowPos(x, y, cx, cy);
    FitViewToClient();
}

void CCameraDlg::PlaceStatusBar(int x, int y, int cx, int cy) {
    m_statusBar.SetWindowPos(x, y, cx, cy);
}

int CCameraDlg::StatusBarTextHeight() {
    return m_statusBar.GetHeight();
}

int CCameraDlg::ScreenWidth() {
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    return pScreen != nullptr ? pScreen->geometry().width() : 0;
}

int CCameraDlg::ScreenHeight() {
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    return pScreen != nullptr ? pScreen->geometry().height() : 0;
}

ViewerRect CCameraDlg::ClientRect() {
    const QRect rect = GetClientRect();
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

void CCameraDlg::InvalidateRect(const ViewerRect& rect) {
    if (m_pView) {
        m_pView->update(rect.left, rect.top, rect.Width(), rect.Height());
    }
}

void CCameraDlg::ShowMessage(const std::string& text, const std::string& caption) {
    MessageBox(QString::fromStdString(text), QString::fromStdString(caption),
               MB_OK | MB_ICONINFORMATION);
}

bool CCameraDlg::RunSettingsDialog(SettingsValues* pValues) {
    if (m_settings.DoModal() != IDOK) {
        return false;
    }
    pValues->nPortAddress = int(m_settings.m_nPortAddress);
    pValues->nGain = m_settings.m_nGain;
    pValues->nOffset = m_settings.m_nOffset;
    pValues->nAux1 = m_settings.m_nAux1;
    pValues->nAux2 = m_settings.m_nAux2;
    pValues->bColor = m_settings.m_bColor != 0;
    return true;
}

std::string CCameraDlg::SaveFilter() {
    return FileDialogFilter([](const ExportFormat& format) { return format.bSavedFromViewer; });
}

bool CCameraDlg::RunSaveDialog(std::string* pPath) {
    const std::string filter = SaveFilter();
    CMyFileDlg dlg(false, "bmp", "*.bmp", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter.c_str(),
                   nullptr);
    if (dlg.DoModal() != IDOK) {
        return false;
    }
    *pPath = dlg.GetPathName().toStdString();
    return true;
}

bool CCameraDlg::RunRecordDialog(std::string* pPath, RecordingPlan* pPlan) {
    CRecordDialog dialog(AfxGetMainWindow());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    *pPath = dialog.selectedFiles().first().toStdString();
    *pPlan = dialog.Plan();
    return true;
}

void CCameraDlg::LoadToolbarPicture(unsigned bitmapId) {
    m_toolBar.LoadBitmap(bitmapId);
}

void CCameraDlg::SetStatusText(int pane, const std::string& text) {
    m_statusBar.SetPaneText(pane, QString::fromStdString(text));
}

void CCameraDlg::SetStatusTip(int pane, const std::string& tip) {
    m_statusBar.SetPaneTip(pane, QString::fromStdString(tip));
}

void CCameraDlg::WidenRecordingPane(bool wide) {
    // Room for "Ready" and prompts' first words; the rest goes to "● REC 1234 · 3 dropped".
    constexpr int kNarrowMessagePane = 72;
    const unsigned id = m_statusBar.GetItemID(0);
    if (wide && m_cxNormalMessagePane == 0) {
        m_cxNormalMessagePane = m_statusBar.GetPaneWidth(0);
        m_statusBar.SetPaneInfo(0, id, SBPS_NORMAL, kNarrowMessagePane);
    } else if (!wide && m_cxNormalMessagePane != 0) {
        m_statusBar.SetPaneInfo(0, id, SBPS_NORMAL, m_cxNormalMessagePane);
        m_cxNormalMessagePane = 0;
    }
}

void CCameraDlg::ShowLevels(int offset, int gain) {
    m_settings.m_strOffset = QString::number(offset);
    m_settings.m_nOffset = offset;
    m_settings.m_strGain = QString::number(gain);
    m_settings.m_nGain = gain;
}

void CCameraDlg::FitViewToClient() {
    if (m_pView && GetClientWidget() != nullptr) {
        m_pView->setGeometry(GetClientRect());
    }
}

void CCameraDlg::OnToolsShowClipping() {
    if (m_pMeasure) {
        m_pMeasure->ToggleClipping();
    }
}

void CCameraDlg::OnUpdateToolsShowClipping(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_pMeasure && m_pMeasure->IsClippingShown() ? 1 : 0);
}

void CCameraDlg::OnToolsRunningAverage() {
    if (!m_pCore) {
        return;
    }
    bool bOk = false;
    const int n = QInputDialog::getInt(
        GetSafeHwnd(), QStringLiteral("Running Average"),
        QStringLiteral("Show the mean of the last frames (1: each frame as it comes):"),
        int(m_pCore->AveragedPictures()), 1, int(CRunningAverage::kLongest), 1, &bOk);
    if (bOk) {
        m_pCore->SetAveragedPictures(std::size_t(n));
    }
}

void CCameraDlg::OnUpdateToolsRunningAverage(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_pCore && m_pCore->AveragedPictures() > 1 ? 1 : 0);
}

void CCameraDlg::OnToolsCalibrateFlat() {
    if (!m_pCore || !m_pCore->IsRunning()) {
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        GetSafeHwnd(), QStringLiteral("Calibrate Flat"), QStringLiteral("white.flat"),
        QStringLiteral("Flat images (*.flat);;All files (*)"));
    if (!path.isEmpty()) {
        m_pCore->BeginFlatCalibration(QDir::toNativeSeparators(path).toStdString());
    }
}

void CCameraDlg::OnUpdateToolsCalibrateFlat(CCmdUI* pCmdUI) {
    // Frames come only while the camera runs; one flat at a time.
    pCmdUI->Enable(m_pCore && m_pCore->IsRunning() && !m_pCore->IsCalibratingFlat());
}
