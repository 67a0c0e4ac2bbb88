#include "app/CameraApp.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <exception>
#include <new>

#include "resources/Resource.h"
#include "shell/AboutDlg.h"
#include "viewer/ToolsMenu.h"

#include "viewer/CameraDlg.h"

namespace {

// Lets the main window's class declare options when it has a static
// AddCommandLineOptions(QCommandLineParser&).
template <class TMain>
void AddOptionsOf(QCommandLineParser& parser) {
    if constexpr (requires { TMain::AddCommandLineOptions(parser); }) {
        TMain::AddCommandLineOptions(parser);
    }
}

}  // namespace

CCameraApp::CCameraApp() {
    InstallViewerResources();
    ON_COMMAND(ID_HELP_ABOUT, &CCameraApp::OnHelpAbout);
}

void CCameraApp::AddCommandLineOptions(QCommandLineParser& parser) {
    AddOptionsOf<CCameraDlg>(parser);
}

bool CCameraApp::InitInstance() {
    if (!IsFirstInstance()) {
        return false;
    }
    try {
        auto* pMain = new CCameraDlg;
        m_pMainWnd = pMain;
        if (!pMain->Create()) {
            // Without a window the object never deletes itself.
            m_pMainWnd = nullptr;
            delete pMain;
            std::fputs("pandry: cannot create the main window\n", stderr);
            m_nExitCode = 1;
            return false;
        }
    } catch (const std::bad_alloc&) {
        m_pMainWnd = nullptr;
        std::fputs("pandry: out of memory while creating the main window\n", stderr);
        m_nExitCode = 1;
        return false;
    } catch (const std::exception& e) {
        m_pMainWnd = nullptr;
        std::fprintf(stderr, "pandry: cannot create the main window: %s\n", e.what());
        m_nExitCode = 1;
        return false;
    }
    return true;
}

bool CCameraApp::IsFirstInstance() {
    switch (m_instance.ClaimOrHandOver([this] { ActivateMainWindow(); })) {
        case CSingleInstance::Claim::kFirst:
            return true;
        case CSingleInstance::Claim::kHandedOver:
            return false;
        case CSingleInstance::Claim::kNoAnswer:
            break;
    }
    std::fputs("pandry: another copy is running but does not answer\n", stderr);
    m_nExitCode = 1;
    return false;
}

void CCameraApp::ActivateMainWindow() {
    QWidget* pMain = AfxGetMainWindow();
    if (pMain == nullptr) {
        return;
    }
    if (pMain->isMinimized()) {
        pMain->showNormal();
    }
    pMain->raise();
    pMain->activateWindow();
    // The dialog open in front of the window (its last active pop-up) comes forward too.
    QWidget* pPopup = QApplication::activeModalWidget();
    if (pPopup != nullptr && pPopup != pMain) {
        pPopup->raise();
        pPopup->activateWindow();
    }
}

void CCameraApp::OnHelpAbout() {
    CAboutDlg dlg(AfxGetMainWindow());
    dlg.DoModal();
}
