#pragma once

#include "platform/ui/FileDialog.h"

// The Save Bitmap dialog: the file dialog with the program's picture to the right of the
// standard controls and an icon of its own.
class CMyFileDlg : public CFileDialog {
  public:
    CMyFileDlg(bool bOpenFileDialog, const char* pszDefExt = nullptr,
               const char* pszFileName = nullptr, unsigned dwFlags = 0,
               const char* pszFilter = nullptr, QWidget* pParentWnd = nullptr);

  protected:
    bool OnInitDialog() override;
};
