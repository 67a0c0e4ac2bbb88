#pragma once

#include <QString>

class QAction;
class CCmdTarget;

// The command-update state of one menu item, toolbar button or status pane, asked of the
// command routing before the entry is shown.
class CCmdUI {
  public:
    explicit CCmdUI(unsigned nID) : m_nID(nID) {}
    virtual ~CCmdUI() = default;

    virtual void Enable(bool bOn = true);
    virtual void SetCheck(int nCheck = 1);
    virtual void SetText(const QString& text);

    // Offers the id to pTarget's routing as an update request; with bDisableIfNoHndler an
    // entry no update handler touched is enabled exactly when a command handler exists.
    void DoUpdate(CCmdTarget* pTarget, bool bDisableIfNoHndler);

    unsigned m_nID;
    bool m_bEnableChanged = false;
};

// Update state applied to a menu item or toolbar button (both are actions in the toolkit).
class CActionCmdUI : public CCmdUI {
  public:
    CActionCmdUI(QAction* pAction, unsigned nID) : CCmdUI(nID), m_pAction(pAction) {}

    void Enable(bool bOn = true) override;
    void SetCheck(int nCheck = 1) override;
    void SetText(const QString& text) override;

  private:
    QAction* m_pAction;
};
