#include <QApplication>

#include "shell/CameraApp.h"

// The one application object, as the framework expects it: before anything else runs.
CCameraApp theApp;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pandry"));
    QApplication::setApplicationVersion(QStringLiteral(PANDRY_VERSION));
    // The program ends with its main window, not with whichever window closed last.
    QApplication::setQuitOnLastWindowClosed(false);
    return theApp.Run();
}
