#pragma once

#include <QCommandLineParser>
#include <QString>

#include "platform/ui/CmdTarget.h"

class CDialog;
class QWidget;

// The application object: start-up hook, main-window slot, idle updates and the commands of
// the application itself (Exit). Exactly one exists at a time.
class CWinApp : public CCmdTarget {
  public:
    CWinApp();
    ~CWinApp() override;

    // Start-up hook; true lets the event loop run.
    virtual bool InitInstance();
    // Exit status when InitInstance returned false or the loop ended.
    virtual int ExitInstance();
    // Options the program accepts besides --help and --version.
    virtual void AddCommandLineOptions(QCommandLineParser& parser);

    // Parses the command line, runs InitInstance and the event loop; the process's status.
    // Needs the toolkit's application object to exist.
    int Run();
    // Parses the command line of the toolkit's (core) application object; --help, --version
    // and unknown options print their text and end the process.
    void ParseCommandLine();
    // True when the command line asks only for --help or --version, which need no display.
    static bool IsInformationRequest(int argc, char** argv);
    // Checks the options against those declared, under a plain core application, so that
    // a wrong one is reported in one line before the toolkit asks for a display. The
    // toolkit's own options (-platform, -style, ...) pass. False with the reason in *pError.
    bool CheckCommandLine(QString* pError);

    // Called by the main window when it has been destroyed; ends the event loop.
    void OnMainWindowDestroyed(CDialog* pWnd);
    // Idle-time update of the main window's bars.
    void OnIdle();

    const QCommandLineParser& CommandLine() const { return m_commandLine; }

    CDialog* m_pMainWnd = nullptr;
    QString m_strAppName;  // string 57344 when present
    int m_nExitCode = 0;

  protected:
    void OnAppExit();

  private:
    QCommandLineParser m_commandLine;
    bool m_bInIdle = false;
};

CWinApp* AfxGetApp();
// The main window's toolkit window, or null.
QWidget* AfxGetMainWindow();
// The application title: the application object's name, else string 57344.
QString AfxGetAppName();
