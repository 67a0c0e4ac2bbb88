#pragma once

#include "platform/ui/WinApp.h"
#include "shell/SingleInstance.h"

// The application object: finds an earlier copy, creates the main window, owns About.
class CCameraApp : public CWinApp {
  public:
    CCameraApp();

    bool InitInstance() override;
    // Adds the options the main window declares (a static AddCommandLineOptions of its
    // class), which then reads them from AfxGetApp()->CommandLine().
    void AddCommandLineOptions(QCommandLineParser& parser) override;
    // Ends as the Exit command does (SIGTERM and SIGHUP come here).
    void Exit() { OnAppExit(); }

  protected:
    // True when no earlier copy runs (this one now answers later copies); otherwise that
    // copy has been brought forward, or did not answer (the exit code then says so).
    bool IsFirstInstance();
    void OnHelpAbout();

  private:
    // Brings this copy's main window, and an open dialog of it, to the front.
    void ActivateMainWindow();

    CSingleInstance m_instance;
};
