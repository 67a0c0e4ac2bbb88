#include <QApplication>
#include <cstdio>

#include "app/CameraApp.h"
#include "platform/ui/TerminationSignals.h"

// The one application object, as the framework expects it: before anything else runs.
CCameraApp theApp;

namespace {

void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("pandry"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PANDRY_VERSION));
}

}  // namespace

int main(int argc, char** argv) {
    {
        // Options are read before the toolkit needs a display: help, the version and a
        // wrong option are answered in one line on a plain console too.
        QCoreApplication core(argc, argv);
        NameApplication();
        if (CWinApp::IsInformationRequest(argc, argv)) {
            theApp.ParseCommandLine();  // prints and ends the process
            return 0;
        }
        QString error;
        if (!theApp.CheckCommandLine(&error)) {
            std::fprintf(stderr, "pandry: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
    }
    QApplication app(argc, argv);
    NameApplication();
    // Desktops find the menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("pandry"));
    // The program ends with its main window, not with whichever window closed last.
    QApplication::setQuitOnLastWindowClosed(false);
    // Asked to end, the viewer ends as Exit does: a recording is finished and described.
    CTerminationSignals termination([](int) { theApp.Exit(); });
    const int status = theApp.Run();
    termination.Reraise();
    return status;
}
