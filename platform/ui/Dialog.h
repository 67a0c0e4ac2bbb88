#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <map>

#include "platform/ui/CmdTarget.h"
#include "platform/ui/MessageBox.h"

class CDataExchange;
class CDialogWindow;
class QDialog;
class QMenu;
class QMenuBar;
class QWidget;

// A dialog built from a dialog template: its window exists from creation (DoModal or
// Create) until DestroyWindow or the end of the modal loop; the object outlives it.
//
// Geometry: the "client area" is the part of the window below the menu bar (the window
// itself when it has no menu), and all control and child positions are client
// coordinates. Outer sizes are those of a framed window of the original platform: the
// client area is 8 pixels narrower and 44 pixels lower (4-pixel borders, caption, menu bar).
class CDialog : public CCmdTarget {
  public:
    static constexpr int kFrameCx = 8;
    static constexpr int kFrameCy = 44;

    // Modal form: the template is named now, the window created by DoModal.
    explicit CDialog(unsigned nIDTemplate, QWidget* pParentWnd = nullptr);
    // Template-less form: the template is named when the window is created (Create).
    CDialog();
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Shows the dialog modally (owned by the parent, else the main window); IDOK, IDCANCEL,
    // or -1 when the template does not exist.
    int DoModal();
    // Creates the window without a modal loop and shows it; false without a template.
    bool Create(unsigned nIDTemplate, QWidget* pParentWnd = nullptr);
    void EndDialog(int nResult);
    void DestroyWindow();

    // Data exchange: true = controls into fields with validation, false = fields into
    // controls. False when a validation failed (the message has been shown).
    bool UpdateData(bool bSaveAndValidate = true);

    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    // The close request (close box, Exit): for a dialog it becomes Cancel.
    virtual void OnClose();
    virtual void OnDestroy();
    virtual void PostNcDestroy();

    // Menu notifications: a pop-up is about to open; an item was highlighted (flags
    // kMenuClosedFlags when the menu closed); the menu loop is idle.
    virtual void OnInitMenuPopup(QMenu* pPopupMenu, int nIndex, bool bSysMenu);
    virtual void OnMenuSelect(unsigned nItemID, unsigned nFlags);
    virtual void OnEnterIdle(unsigned nWhy);
    // Idle-time update of the window's bars.
    virtual void OnIdleUpdateCmdUI();

    // Own map, then (for ids 0x8000 to 0xEFFF) the application object.
    bool OnCmdMsg(unsigned nID, CmdCode nCode, CCmdUI* pCmdUI) override;
    // Runs a command through the routing; false when nothing handled it.
    bool SendCommand(unsigned nID);

    QDialog* GetSafeHwnd() const;
    QWidget* GetClientWidget() const { return m_pClient; }
    QMenuBar* GetMenu() const { return m_pMenuBar; }
    QWidget* GetDlgItem(int nID) const;
    bool IsWindowVisible() const;

    int MessageBox(const QString& text, const QString& caption = {}, unsigned nFlags = MB_OK);

    QRect MapDialogRect(const QRect& rcDialogUnits) const;
    QRect GetClientRect() const;  // (0, 0, client width, client height)
    QRect GetWindowRect() const;  // outer rectangle in screen coordinates
    // Moves and sizes the window to an outer rectangle.
    void SetWindowPos(int x, int y, int cx, int cy);
    void CenterWindow();

    unsigned m_nIDHelp = 0;  // the template id

  protected:
    QWidget* m_pParentWnd = nullptr;

  private:
    friend class CDialogWindow;
    bool CreateFromTemplate(unsigned nIDTemplate, QWidget* pParentWnd);
    void CreateControls(const struct DialogTemplate& tmpl);
    void CreateMenu(unsigned nMenuID);
    void SetClientSize(const QSize& size);
    void OnControlClicked(int nID);
    void ReleaseWindow(bool bNow);

    QPointer<CDialogWindow> m_pWnd;
    QWidget* m_pClient = nullptr;
    QMenuBar* m_pMenuBar = nullptr;
    std::map<int, QWidget*> m_controls;
    bool m_bModal = false;
};
