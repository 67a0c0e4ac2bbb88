#include "platform/ui/DialogWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

#include "platform/ui/Dialog.h"

CDialogWindow::CDialogWindow(CDialog* pOwner, QWidget* pParent, Qt::WindowFlags flags)
    : QDialog(pParent, flags), m_pOwner(pOwner) {}

void CDialogWindow::keyPressEvent(QKeyEvent* pEvent) {
    if (m_pOwner == nullptr) {
        return;
    }
    switch (pEvent->key()) {
        case Qt::Key_Escape:
            m_pOwner->OnCancel();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A focused push button takes Enter itself; otherwise Enter means OK.
            if (auto* pButton = qobject_cast<QPushButton*>(focusWidget())) {
                pButton->click();
            } else {
                m_pOwner->OnOK();
            }
            return;
        default:
            QWidget::keyPressEvent(pEvent);
    }
}

void CDialogWindow::closeEvent(QCloseEvent* pEvent) {
    // The owner decides whether and how the window goes.
    pEvent->ignore();
    if (m_pOwner != nullptr) {
        m_pOwner->OnClose();
    }
}
