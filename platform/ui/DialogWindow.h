#pragma once

#include <QDialog>

class CDialog;

// The toolkit window of a CDialog: hands keys and close requests to its owner, which may
// have gone already (the window is deleted later than it is destroyed).
class CDialogWindow : public QDialog {
    Q_OBJECT
  public:
    CDialogWindow(CDialog* pOwner, QWidget* pParent, Qt::WindowFlags flags);

    CDialog* m_pOwner;

  protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
};
