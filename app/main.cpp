#include <QApplication>

#include "app/CameraApp.h"

// The one application object, as the framework expects it: before anything else runs.
CCameraApp theApp;

namespace {

void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("pandry"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PANDRY_VERSION));
}

}  // namespace

int main(int argc, char** argv) {
    if (CWinApp::IsInformationRequest(argc, argv)) {
        // Answered without a display; the parser prints and ends the process.
        QCoreApplication core(argc, argv);
        NameApplication();
        theApp.ParseCommandLine();
        return 0;
    }
    QApplication app(argc, argv);
    NameApplication();
    // Desktops find the menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("pandry"));
    // The program ends with its main window, not with whichever window closed last.
    QApplication::setQuitOnLastWindowClosed(false);
    return theApp.Run();
}
