#include "platform/ui/CmdTarget.h"

bool CCmdTarget::OnCmdMsg(unsigned nID, CmdCode nCode, CCmdUI* pCmdUI) {
    switch (nCode) {
        case CmdCode::Command: {
            auto it = m_commandMap.find(nID);
            if (it == m_commandMap.end()) {
                return false;
            }
            // A copy: the handler may replace map entries or end the object's window.
            auto handler = it->second;
            handler();
            return true;
        }
        case CmdCode::Update: {
            auto it = m_updateMap.find(nID);
            if (it == m_updateMap.end()) {
                return false;
            }
            it->second(pCmdUI);
            return true;
        }
        case CmdCode::Query:
            return m_commandMap.count(nID) != 0;
    }
    return false;
}
