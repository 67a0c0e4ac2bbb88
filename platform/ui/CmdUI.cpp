#include "platform/ui/CmdUI.h"

#include <QAction>

#include "platform/ui/CmdTarget.h"

void CCmdUI::Enable(bool) {
    m_bEnableChanged = true;
}

void CCmdUI::SetCheck(int) {}

void CCmdUI::SetText(const QString&) {}

void CCmdUI::DoUpdate(CCmdTarget* pTarget, bool bDisableIfNoHndler) {
    m_bEnableChanged = false;
    pTarget->OnCmdMsg(m_nID, CmdCode::Update, this);
    if (bDisableIfNoHndler && !m_bEnableChanged) {
        Enable(pTarget->OnCmdMsg(m_nID, CmdCode::Query, nullptr));
    }
}

void CActionCmdUI::Enable(bool bOn) {
    CCmdUI::Enable(bOn);
    m_pAction->setEnabled(bOn);
}

void CActionCmdUI::SetCheck(int nCheck) {
    // Checkable only once some handler asks for a check, so plain commands do not toggle.
    m_pAction->setCheckable(true);
    m_pAction->setChecked(nCheck != 0);
}

void CActionCmdUI::SetText(const QString& text) {
    m_pAction->setText(text);
}
