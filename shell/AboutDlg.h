#pragma once

#include "platform/ui/Dialog.h"

// The About box: the program's picture, its maker, release and a contact line, and OK.
class CAboutDlg : public CDialog {
  public:
    explicit CAboutDlg(QWidget* pParentWnd = nullptr);
};
