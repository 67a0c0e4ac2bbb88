#include "platform/ui/Dialog.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <functional>

#include "platform/ui/CmdUI.h"
#include "platform/ui/CompactMenuBarStyle.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/DialogUnits.h"
#include "platform/ui/DialogWindow.h"
#include "platform/ui/FrameworkIds.h"
#include "platform/ui/GroupBox.h"
#include "platform/ui/MenuBarRows.h"
#include "platform/ui/Resources.h"
#include "platform/ui/WinApp.h"

namespace {

// Records whether the routing enables a command bound to a key.
class CEnabledCmdUI : public CCmdUI {
  public:
    using CCmdUI::CCmdUI;
    void Enable(bool bOn) override {
        CCmdUI::Enable(bOn);
        m_bEnabled = bOn;
    }
    bool m_bEnabled = true;
};

// The toolkit highlights only enabled items, so it never reports the pointer resting on a
// greyed one; this reports it, so the item's own prompt replaces the previous item's.
class CDisabledItemHover : public QObject {
  public:
    CDisabledItemHover(QMenu* pMenu, std::function<void(QAction*)> onHover)
        : QObject(pMenu), m_pMenu(pMenu), m_onHover(std::move(onHover)) {
        pMenu->installEventFilter(this);
    }

    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pWatched == m_pMenu && pEvent->type() == QEvent::MouseMove) {
            QAction* pAction =
                m_pMenu->actionAt(static_cast<QMouseEvent*>(pEvent)->position().toPoint());
            if (pAction != nullptr && !pAction->isEnabled() && pAction != m_pLast) {
                m_onHover(pAction);
            }
            m_pLast = pAction;
        }
        return QObject::eventFilter(pWatched, pEvent);
    }

  private:
    QMenu* m_pMenu;
    std::function<void(QAction*)> m_onHover;
    QAction* m_pLast = nullptr;
};

}  // namespace

CDialog::CDialog(unsigned nIDTemplate, QWidget* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::CDialog() = default;

CDialog::~CDialog() {
    if (m_pWnd) {
        m_pWnd->m_pOwner = nullptr;
        delete m_pWnd.data();
    }
}

int CDialog::DoModal() {
    QWidget* pParent = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWindow();
    if (!CreateFromTemplate(m_nIDHelp, pParent)) {
        return -1;
    }
    m_bModal = true;
    if (pParent == nullptr) {
        CenterWindow();
    }
    OnInitDialog();
    const int nResult = m_pWnd->exec();
    m_bModal = false;
    OnDestroy();
    ReleaseWindow(true);
    PostNcDestroy();
    return nResult;
}

bool CDialog::Create(unsigned nIDTemplate, QWidget* pParentWnd) {
    m_nIDHelp = nIDTemplate;
    m_pParentWnd = pParentWnd;
    if (!CreateFromTemplate(nIDTemplate, pParentWnd)) {
        return false;
    }
    OnInitDialog();
    m_pWnd->show();
    return true;
}

void CDialog::EndDialog(int nResult) {
    if (m_pWnd) {
        m_pWnd->done(nResult);
    }
}

void CDialog::DestroyWindow() {
    if (!m_pWnd) {
        return;
    }
    if (m_bModal) {
        EndDialog(IDCANCEL);
        return;
    }
    OnDestroy();
    ReleaseWindow(false);
    PostNcDestroy();
}

bool CDialog::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    // The first tab stop in template order starts with the focus.
    if (const DialogTemplate* pTemplate = FindDialogTemplate(m_nIDHelp)) {
        for (const ControlTemplate& c : pTemplate->controls) {
            QWidget* pControl = GetDlgItem(c.nID);
            if (pControl != nullptr && pControl->isEnabled() &&
                pControl->focusPolicy() & Qt::TabFocus) {
                pControl->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnClose() {
    OnCancel();
}

void CDialog::OnDestroy() {}

void CDialog::PostNcDestroy() {}

void CDialog::OnInitMenuPopup(QMenu*, int, bool) {}

void CDialog::OnMenuSelect(unsigned, unsigned) {}

void CDialog::OnEnterIdle(unsigned) {}

void CDialog::OnIdleUpdateCmdUI() {}

bool CDialog::OnCmdMsg(unsigned nID, CmdCode nCode, CCmdUI* pCmdUI) {
    if (CCmdTarget::OnCmdMsg(nID, nCode, pCmdUI)) {
        return true;
    }
    if (!IsRoutedPastWindow(nID)) {
        return false;
    }
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID, nCode, pCmdUI);
}

bool CDialog::SendCommand(unsigned nID) {
    return OnCmdMsg(nID, CmdCode::Command, nullptr);
}

QDialog* CDialog::GetSafeHwnd() const {
    return m_pWnd.data();
}

QWidget* CDialog::GetDlgItem(int nID) const {
    auto it = m_controls.find(nID);
    return it == m_controls.end() ? nullptr : it->second;
}

bool CDialog::IsWindowVisible() const {
    return m_pWnd && m_pWnd->isVisible();
}

int CDialog::MessageBox(const QString& text, const QString& caption, unsigned nFlags) {
    return ShowMessageBox(m_pWnd, text, caption.isNull() ? AfxGetAppName() : caption, nFlags);
}

QRect CDialog::MapDialogRect(const QRect& rc) const {
    return CDialogUnits(m_pWnd ? m_pWnd->font() : QApplication::font()).MapDialogRect(rc);
}

QRect CDialog::GetClientRect() const {
    return m_pClient != nullptr ? QRect(QPoint(0, 0), m_pClient->size()) : QRect();
}

QRect CDialog::GetWindowRect() const {
    if (!m_pWnd) {
        return {};
    }
    return QRect(m_pWnd->pos(), m_pClient->size() + QSize(kFrameCx, kFrameCy));
}

void CDialog::SetWindowPos(int x, int y, int cx, int cy) {
    if (!m_pWnd) {
        return;
    }
    m_pWnd->move(x, y);
    SetClientSize(QSize(std::max(0, cx - kFrameCx), std::max(0, cy - kFrameCy)));
}

void CDialog::SetClientSize(const QSize& size) {
    const int cyMenu = m_pMenuBar != nullptr ? FitMenuBarRows(m_pMenuBar, size.width()) : 0;
    m_pWnd->setFixedSize(size.width(), cyMenu + size.height());
    if (m_pMenuBar != nullptr) {
        m_pMenuBar->setGeometry(0, 0, size.width(), cyMenu);
    }
    m_pClient->setGeometry(0, cyMenu, size.width(), size.height());
}

void CDialog::CenterWindow() {
    if (!m_pWnd) {
        return;
    }
    QScreen* pScreen =
        m_pWnd->screen() != nullptr ? m_pWnd->screen() : QGuiApplication::primaryScreen();
    const QRect rcScreen = pScreen->availableGeometry();
    const QRect rcWindow = GetWindowRect();
    SetWindowPos(rcScreen.x() + (rcScreen.width() - rcWindow.width()) / 2,
                 rcScreen.y() + (rcScreen.height() - rcWindow.height()) / 2, rcWindow.width(),
                 rcWindow.height());
}

bool CDialog::CreateFromTemplate(unsigned nIDTemplate, QWidget* pParentWnd) {
    const DialogTemplate* pTemplate = FindDialogTemplate(nIDTemplate);
    if (pTemplate == nullptr || m_pWnd) {
        return false;
    }
    // Customised hints: a caption with close box (and a minimise box for a main window), no
    // maximise box, as a dialog frame has.
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    flags |= (pTemplate->nStyle & kDlgMinimizeBox) ? Qt::Window | Qt::WindowMinimizeButtonHint
                                                   : Qt::Dialog;
    m_pWnd = new CDialogWindow(this, pParentWnd, flags);
    m_pWnd->setWindowTitle(QString::fromLatin1(pTemplate->pszCaption));
    m_pClient = new QWidget(m_pWnd);
    if (pTemplate->nMenuID != 0) {
        CreateMenu(pTemplate->nMenuID);
    }
    CreateControls(*pTemplate);
    SetClientSize(MapDialogRect(QRect(0, 0, pTemplate->cx, pTemplate->cy)).size());
    return true;
}

void CDialog::CreateControls(const DialogTemplate& tmpl) {
    QWidget* pPrevious = nullptr;
    for (const ControlTemplate& c : tmpl.controls) {
        const QString text = QString::fromLatin1(c.pszText != nullptr ? c.pszText : "");
        QWidget* pControl = nullptr;
        switch (c.kind) {
            case ControlKind::PushButton:
            case ControlKind::DefPushButton: {
                auto* pButton = new QPushButton(text, m_pClient);
                pButton->setDefault(c.kind == ControlKind::DefPushButton);
                pButton->setAutoDefault(false);
                QObject::connect(pButton, &QPushButton::clicked, m_pWnd,
                                 [this, nID = c.nID] { OnControlClicked(nID); });
                pControl = pButton;
                break;
            }
            case ControlKind::Edit:
                pControl = new QLineEdit(m_pClient);
                break;
            case ControlKind::AutoRadio: {
                auto* pRadio = new QRadioButton(text, m_pClient);
                QObject::connect(pRadio, &QRadioButton::clicked, m_pWnd,
                                 [this, nID = c.nID] { OnControlClicked(nID); });
                pControl = pRadio;
                break;
            }
            case ControlKind::GroupBox:
                pControl = new CGroupBox(text, m_pClient);
                pControl->setFocusPolicy(Qt::NoFocus);
                break;
            case ControlKind::LeftText: {
                auto* pLabel = new QLabel(text, m_pClient);
                pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                pControl = pLabel;
                break;
            }
            case ControlKind::Picture: {
                auto* pLabel = new QLabel(m_pClient);
                pLabel->setPixmap(LoadBitmapResource(c.nImageID));
                pLabel->setAlignment(Qt::AlignCenter);
                if (c.nStyle & kCtlBorder) {
                    pLabel->setFrameStyle(QFrame::Box | QFrame::Plain);
                    pLabel->setLineWidth(1);
                }
                pControl = pLabel;
                break;
            }
        }
        QRect rcControl = MapDialogRect(QRect(c.x, c.y, c.cx, c.cy));
        if (c.kind == ControlKind::LeftText) {
            // Template widths were measured for a narrower font; a line is never cut.
            rcControl.setWidth(std::max(rcControl.width(), pControl->sizeHint().width()));
        }
        pControl->setGeometry(rcControl);
        pControl->setEnabled(!(c.nStyle & kCtlDisabled));
        if (c.kind == ControlKind::GroupBox) {
            // A frame drawn behind the controls it surrounds, never catching their clicks.
            pControl->lower();
            pControl->setAttribute(Qt::WA_TransparentForMouseEvents);
        } else if (pControl->focusPolicy() & Qt::TabFocus) {
            if (pPrevious != nullptr) {
                QWidget::setTabOrder(pPrevious, pControl);
            }
            pPrevious = pControl;
        }
        if (c.nID != -1) {
            m_controls[c.nID] = pControl;
        }
    }
}

void CDialog::CreateMenu(unsigned nMenuID) {
    const MenuTemplate* pMenu = FindMenuTemplate(nMenuID);
    if (pMenu == nullptr) {
        return;
    }
    m_pMenuBar = new QMenuBar(m_pWnd);
    m_pMenuBar->setNativeMenuBar(false);
    auto* pMenuBarStyle = new CCompactMenuBarStyle;
    pMenuBarStyle->setParent(m_pMenuBar);
    m_pMenuBar->setStyle(pMenuBarStyle);
    int nIndex = 0;
    for (const MenuItemTemplate& popup : pMenu->popups) {
        QMenu* pPopup = m_pMenuBar->addMenu(QString::fromLatin1(popup.pszText));
        for (const MenuItemTemplate& item : popup.items) {
            QAction* pAction = pPopup->addAction(QString::fromLatin1(item.pszText));
            pAction->setData(item.nID);
            QObject::connect(pAction, &QAction::triggered, m_pWnd,
                             [this, nID = item.nID] { SendCommand(nID); });
        }
        QObject::connect(pPopup, &QMenu::aboutToShow, m_pWnd,
                         [this, pPopup, nIndex] { OnInitMenuPopup(pPopup, nIndex, false); });
        auto onHighlight = [this](QAction* pAction) {
            OnMenuSelect(pAction->isSeparator() ? 0 : pAction->data().toUInt(),
                         pAction->isSeparator() ? MF_SEPARATOR : 0);
            // The toolkit has no idle message inside a menu; the highlight is the moment.
            OnEnterIdle(MSGF_MENU);
        };
        QObject::connect(pPopup, &QMenu::hovered, m_pWnd, onHighlight);
        new CDisabledItemHover(pPopup, onHighlight);
        QObject::connect(pPopup, &QMenu::aboutToHide, m_pWnd, [this] {
            // Moving from one pop-up to the next closes one and opens another; only the end
            // of the whole menu loop counts as closing.
            QTimer::singleShot(0, m_pWnd, [this] {
                if (QApplication::activePopupWidget() == nullptr) {
                    OnMenuSelect(0, kMenuClosedFlags);
                    // The menu loop is over: the keyboard goes back to the window, so that
                    // Enter and Escape reach it as before the menu was used.
                    if (m_pMenuBar->hasFocus()) {
                        m_pWnd->setFocus(Qt::OtherFocusReason);
                    }
                }
            });
        });
        ++nIndex;
    }
    QObject::connect(m_pMenuBar, &QMenuBar::hovered, m_pWnd, [this](QAction*) {
        if (QApplication::activePopupWidget() != nullptr) {
            OnMenuSelect(0, MF_POPUP);
        }
    });
    for (const AcceleratorTemplate& accel : Accelerators()) {
        if (accel.nTableID != nMenuID) {
            continue;
        }
        auto* pShortcut = new QShortcut(QKeySequence(accel.key), m_pWnd);
        QObject::connect(pShortcut, &QShortcut::activated, m_pWnd, [this, nID = accel.nCommandID] {
            // A key reaches its command only while the command is enabled.
            CEnabledCmdUI state(nID);
            state.DoUpdate(this, true);
            if (state.m_bEnabled) {
                SendCommand(nID);
            }
        });
    }
}

void CDialog::OnControlClicked(int nID) {
    if (nID == IDOK) {
        OnOK();
    } else if (nID == IDCANCEL) {
        OnCancel();
    } else {
        OnCmdMsg(static_cast<unsigned>(nID), CmdCode::Command, nullptr);
    }
}

void CDialog::ReleaseWindow(bool bNow) {
    if (!m_pWnd) {
        return;
    }
    m_pWnd->m_pOwner = nullptr;
    m_pWnd->hide();
    if (bNow) {
        delete m_pWnd.data();
    } else {
        // Destroying may start inside one of the window's own event handlers.
        m_pWnd->deleteLater();
    }
    m_pWnd = nullptr;
    m_pClient = nullptr;
    m_pMenuBar = nullptr;
    m_controls.clear();
}
