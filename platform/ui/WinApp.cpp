#include "platform/ui/WinApp.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialog>
#include <string_view>

#include "platform/ui/Dialog.h"
#include "platform/ui/FrameworkIds.h"
#include "platform/ui/Resources.h"

namespace {

CWinApp* g_pApp = nullptr;

}  // namespace

CWinApp::CWinApp() {
    g_pApp = this;
    ON_COMMAND(ID_APP_EXIT, &CWinApp::OnAppExit);
}

CWinApp::~CWinApp() {
    if (g_pApp == this) {
        g_pApp = nullptr;
    }
}

bool CWinApp::InitInstance() {
    return true;
}

int CWinApp::ExitInstance() {
    return m_nExitCode;
}

void CWinApp::AddCommandLineOptions(QCommandLineParser&) {}

void CWinApp::ParseCommandLine() {
    m_commandLine.addHelpOption();
    m_commandLine.addVersionOption();
    AddCommandLineOptions(m_commandLine);
    m_commandLine.process(*QCoreApplication::instance());
}

bool CWinApp::CheckCommandLine(QString* pError) {
    // What QGuiApplication and QApplication take themselves, written with one dash.
    static const QStringList kToolkitOptions = {
        QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),    QStringLiteral("reverse"),
        QStringLiteral("session"),         QStringLiteral("display"),
        QStringLiteral("geometry"),        QStringLiteral("name"),
        QStringLiteral("title"),           QStringLiteral("visual"),
        QStringLiteral("style"),           QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),     QStringLiteral("nograb"),
        QStringLiteral("dograb"),          QStringLiteral("sync"),
        QStringLiteral("qmljsdebugger")};
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    AddCommandLineOptions(parser);
    if (parser.parse(QCoreApplication::arguments())) {
        return true;
    }
    for (const QString& name : parser.unknownOptionNames()) {
        if (!kToolkitOptions.contains(name)) {
            *pError = parser.errorText();
            return false;
        }
    }
    // Only the toolkit's options were unknown; a missing value is still an error.
    if (parser.unknownOptionNames().isEmpty()) {
        *pError = parser.errorText();
        return false;
    }
    return true;
}

bool CWinApp::IsInformationRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version") {
            return true;
        }
    }
    return false;
}

int CWinApp::Run() {
    ParseCommandLine();

    LoadResString(AFX_IDS_APP_TITLE, m_strAppName);
    if (!InitInstance()) {
        return ExitInstance();
    }
    // Idle time is when the event loop is about to wait for more events.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     QCoreApplication::instance(), [this] { OnIdle(); });
    m_nExitCode = QApplication::exec();
    return ExitInstance();
}

void CWinApp::OnMainWindowDestroyed(CDialog* pWnd) {
    if (pWnd == m_pMainWnd) {
        m_pMainWnd = nullptr;
        QCoreApplication::quit();
    }
}

void CWinApp::OnIdle() {
    // Updating the bars repaints them, which must not start another idle pass from within.
    if (m_bInIdle || m_pMainWnd == nullptr || !m_pMainWnd->IsWindowVisible()) {
        return;
    }
    m_bInIdle = true;
    m_pMainWnd->OnIdleUpdateCmdUI();
    m_bInIdle = false;
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd != nullptr) {
        m_pMainWnd->OnClose();
    }
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

QWidget* AfxGetMainWindow() {
    return g_pApp != nullptr && g_pApp->m_pMainWnd != nullptr ? g_pApp->m_pMainWnd->GetSafeHwnd()
                                                              : nullptr;
}

QString AfxGetAppName() {
    if (g_pApp != nullptr && !g_pApp->m_strAppName.isEmpty()) {
        return g_pApp->m_strAppName;
    }
    QString str;
    LoadResString(AFX_IDS_APP_TITLE, str);
    return str;
}
