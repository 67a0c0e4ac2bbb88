#include "shell/ModelessDialog.h"

#include "platform/ui/WinApp.h"
#include "shell/ShellResources.h"

CModelessDialog::CModelessDialog() {
    InstallShellResources();
}

void CModelessDialog::OnOK() {
    if (UpdateData(true)) {
        DestroyWindow();
    }
}

void CModelessDialog::OnCancel() {
    DestroyWindow();
}

void CModelessDialog::PostNcDestroy() {
    if (CWinApp* pApp = AfxGetApp()) {
        pApp->OnMainWindowDestroyed(this);
    }
    delete this;
}
