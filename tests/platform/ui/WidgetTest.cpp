#include "tests/platform/ui/WidgetTest.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace {

// Polls for a modal window other than the ones already open when the wait began.
void PollForModal(std::shared_ptr<std::function<void(QWidget*)>> pfn, QWidget* pBefore,
                  std::shared_ptr<QElapsedTimer> pClock, int nTimeoutMs) {
    QWidget* pModal = QApplication::activeModalWidget();
    if (pModal != nullptr && pModal != pBefore && pModal->isVisible()) {
        (*pfn)(pModal);
        return;
    }
    if (pClock->elapsed() > nTimeoutMs) {
        ADD_FAILURE() << "no modal window opened within " << nTimeoutMs << " ms";
        // A dialog that is up but not modal would keep its DoModal waiting until the test
        // run is killed: end every one that opened meanwhile so the test reports instead.
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            auto* pDialog = qobject_cast<QDialog*>(pWidget);
            if (pDialog != nullptr && pDialog != pBefore && pDialog->isVisible()) {
                pDialog->reject();
            }
        }
        return;
    }
    QTimer::singleShot(10, [=] { PollForModal(pfn, pBefore, pClock, nTimeoutMs); });
}

}  // namespace

void WhenModalOpens(std::function<void(QWidget*)> pfnWhileOpen, int nTimeoutMs) {
    auto pfn = std::make_shared<std::function<void(QWidget*)>>(std::move(pfnWhileOpen));
    auto pClock = std::make_shared<QElapsedTimer>();
    pClock->start();
    QWidget* pBefore = QApplication::activeModalWidget();
    QTimer::singleShot(0, [=] { PollForModal(pfn, pBefore, pClock, nTimeoutMs); });
}

void AnswerNextMessageBox(QString* pCaption, QString* pText, int nButton) {
    WhenModalOpens([=](QWidget* pModal) {
        auto* pBox = qobject_cast<QMessageBox*>(pModal);
        if (pBox == nullptr) {
            ADD_FAILURE() << "expected a message box, got " << pModal->metaObject()->className()
                          << " \"" << pModal->windowTitle().toStdString() << '"';
            if (auto* pDialog = qobject_cast<QDialog*>(pModal)) {
                pDialog->reject();
            }
            return;
        }
        if (pCaption != nullptr) {
            *pCaption = pBox->windowTitle();
        }
        if (pText != nullptr) {
            *pText = pBox->text();
        }
        const QList<QAbstractButton*> buttons = pBox->buttons();
        QAbstractButton* pButton =
            nButton > 0 ? pBox->button(static_cast<QMessageBox::StandardButton>(nButton))
                        : pBox->defaultButton();
        if (pButton == nullptr && !buttons.isEmpty()) {
            pButton = buttons.first();
        }
        pButton->click();
    });
}

void ProcessEvents() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

bool ProcessEventsUntil(const std::function<bool()>& pred, int nTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > nTimeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

int VisibleTopLevelCount() {
    ProcessEvents();
    int nCount = 0;
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->isVisible()) {
            ++nCount;
        }
    }
    return nCount;
}
