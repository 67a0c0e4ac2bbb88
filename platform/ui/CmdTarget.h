#pragma once

#include <functional>
#include <unordered_map>

class CCmdUI;

// What a routed command message asks of a target.
enum class CmdCode {
    Command,  // run the command handler
    Update,   // run the update handler with the given CCmdUI
    Query,    // only report whether a command handler exists
};

// Ids from 0x8000 up to 0xF000 travel past a window to the application object; control ids
// below and system commands from 0xF000 stay with the window.
inline bool IsRoutedPastWindow(unsigned nID) {
    return nID >= 0x8000 && nID < 0xF000;
}

// The message map: command and update handlers per command id. A class registers its
// entries in its constructor with ON_COMMAND / ON_UPDATE_COMMAND_UI; a derived class's entry
// for the same id replaces its base's, so the most derived handler answers first.
class CCmdTarget {
  public:
    virtual ~CCmdTarget() = default;

    // Offers the message to this object's own map; subclasses extend the route.
    virtual bool OnCmdMsg(unsigned nID, CmdCode nCode, CCmdUI* pCmdUI);

  protected:
    template <class T>
    void MapCommand(unsigned nID, void (T::*pfn)()) {
        m_commandMap[nID] = [this, pfn] { (static_cast<T*>(this)->*pfn)(); };
    }
    template <class T>
    void MapUpdate(unsigned nID, void (T::*pfn)(CCmdUI*)) {
        m_updateMap[nID] = [this, pfn](CCmdUI* p) { (static_cast<T*>(this)->*pfn)(p); };
    }

  private:
    std::unordered_map<unsigned, std::function<void()>> m_commandMap;
    std::unordered_map<unsigned, std::function<void(CCmdUI*)>> m_updateMap;
};

#define ON_COMMAND(id, pfn) MapCommand(id, pfn)
#define ON_UPDATE_COMMAND_UI(id, pfn) MapUpdate(id, pfn)
