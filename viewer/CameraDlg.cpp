#include "viewer/CameraDlg.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

#include "camera/CameraSource.h"
#include "platform/ui/CmdUI.h"
#include "platform/ui/WinApp.h"
#include "resources/Resource.h"
#include "shell/MyFileDlg.h"
#include "viewer/CommandTable.h"
#include "viewer/ProcessorFactory.h"

namespace {

const unsigned kIndicators[] = {0, 0};
const unsigned kButtons[] = {ID_FILE_SAVE, 0, ID_FILE_CALIBRATE, 0, ID_FILE_GRAB, 0, ID_FILE_START};
constexpr int kRateIntervalMs = 500;

const QString kCameraOption = QStringLiteral("camera");

}  // namespace

CCameraDlg::CCameraDlg() : m_settings(nullptr) {
    MapViewerCommands<ID_FILE_SAVE, ID_FILE_GRAB, ID_FILE_START, ID_FILE_CALIBRATE, ID_VIEW_ZOOM,
                      ID_VIEW_HISTOGRAM, ID_SETTINGS_DIALOG, ID_OPTIONS_REMAP, ID_OPTIONS_MEDIAN,
                      ID_TOOLS_RECORD>();
    m_rateTimer.setInterval(kRateIntervalMs);
    QObject::connect(&m_rateTimer, &QTimer::timeout, [this] {
        if (m_pCore) {
            m_pCore->RefreshFrameRate();
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

void CCameraDlg::AddCommandLineOptions(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        kCameraOption,
        QStringLiteral("Camera source: auto (the default, or PANDRY_CAMERA), sim, sim-color, "
                       "image:PATH, replay:PATH or none, each with options such as sim,fps=0; "
                       "pandry-cli sources lists them all."),
        QStringLiteral("SOURCE")));
}

bool CCameraDlg::Create() {
    const CWinApp* pApp = AfxGetApp();
    std::string source = CameraSourceFromEnvironment();
    if (pApp != nullptr && pApp->CommandLine().isSet(kCameraOption)) {
        source = pApp->CommandLine().value(kCameraOption).toStdString();
    }
    std::string error;
    if (!SelectCameraSource(source, &error)) {
        std::fprintf(stderr, "pandry: camera source \"%s\": %s\n", source.c_str(), error.c_str());
        std::exit(2);
    }
    CameraSourceChoice choice;
    RecordingMetadata recorded;
    const bool hasRecorded =
        ParseCameraSource(source, &choice, &error) && ReplayMetadataOf(choice, &recorded, &error);
    if (hasRecorded) {
        // The recording's sensor and settings are offered as the start values.
        m_settings.m_bColor = recorded.IsColor() ? 1 : 0;
        m_settings.m_nGain = recorded.gain;
        m_settings.m_nOffset = recorded.offset;
    }
    const bool created = CreateWithCurrentSource();
    if (m_pCore) {
        m_pCore->SetSourceDescription(source);
        if (hasRecorded) {
            m_pCore->UseRecordedSettings(recorded);
        }
    }
    return created;
}

bool CCameraDlg::CreateWithCurrentSource() {
    m_pView = new CFrameView;
    CWindowServices& services = *this;
    m_pCore = std::make_unique<CViewerCore>(*m_pView, services, MakeFrameProcessor,
                                            std::make_unique<CPortCamera>());
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
    m_rateTimer.start();
    return true;
}

void CCameraDlg::OnDestroy() {
    m_rateTimer.stop();
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

int CCameraDlg::FontHeight() {
    return GetFontHeight();
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

bool CCameraDlg::RunSaveDialog(std::string* pPath) {
    CMyFileDlg dlg(false, "bmp", "*.bmp", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                   "Bitmap Files (*.bmp)|*.bmp|PNG Files (*.png)|*.png||", nullptr);
    if (dlg.DoModal() != IDOK) {
        return false;
    }
    *pPath = dlg.GetPathName().toStdString();
    return true;
}

bool CCameraDlg::RunRecordDialog(std::string* pPath) {
    const QString path = QFileDialog::getSaveFileName(
        AfxGetMainWindow(), QStringLiteral("Record"),
        QDir::current().filePath(QStringLiteral("run.raw")), QStringLiteral("Recordings (*.raw)"),
        nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty()) {
        return false;
    }
    *pPath = path.toStdString();
    return true;
}

void CCameraDlg::LoadToolbarPicture(unsigned bitmapId) {
    m_toolBar.LoadBitmap(bitmapId);
}

void CCameraDlg::SetStatusText(int pane, const std::string& text) {
    m_statusBar.SetPaneText(pane, QString::fromStdString(text));
}

void CCameraDlg::FitViewToClient() {
    if (m_pView && GetClientWidget() != nullptr) {
        m_pView->setGeometry(GetClientRect());
    }
}
