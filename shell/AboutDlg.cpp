#include "shell/AboutDlg.h"

#include "resources/Resource.h"
#include "shell/ShellResources.h"

CAboutDlg::CAboutDlg(QWidget* pParentWnd) : CDialog(IDD_ABOUTBOX, pParentWnd) {
    InstallShellResources();
}
