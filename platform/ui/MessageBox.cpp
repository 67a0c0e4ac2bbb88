#include "platform/ui/MessageBox.h"

#include <QMessageBox>

#include "platform/ui/WinApp.h"

int ShowMessageBox(QWidget* pParent, const QString& text, const QString& caption, unsigned nFlags) {
    QMessageBox box(pParent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (nFlags & 0xF0) {
        case MB_ICONHAND:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    switch (nFlags & 0x0F) {
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

int AfxMessageBox(const QString& text, unsigned nFlags) {
    return ShowMessageBox(AfxGetMainWindow(), text, AfxGetAppName(), nFlags);
}
