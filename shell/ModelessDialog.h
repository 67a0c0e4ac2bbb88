#pragma once

#include "platform/ui/Dialog.h"

// A dialog without a modal loop that deletes itself once its window is gone; objects are
// created with new. OK (after a successful data exchange) and Cancel destroy the window.
// When the window was the application's main window, its end ends the program.
class CModelessDialog : public CDialog {
  public:
    CModelessDialog();

    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;
};
