#pragma once

#include <map>

#include "platform/ui/UiTypes.h"

namespace kelsor::ui {

class CControlUI;

struct TNotifyUI {
    CDuiString sType;        // "click", "selectchanged", ...
    CDuiString sVirtualWnd;  // the sender's virtual window, empty when none
    CControlUI* pSender = nullptr;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Routes notifications: those of controls inside a named virtual window go to
// the pump registered under that name, the others to this pump's own map,
// which sends "click" to OnClick and "selectchanged" to OnSelectChanged.
class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;
    bool AddVirtualWnd(const CDuiString& name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const CDuiString& name);
    CNotifyPump* GetVirtualWnd(const CDuiString& name) const;
    void NotifyPump(TNotifyUI& msg);

protected:
    // The message map; returns true when a handler took the notification.
    virtual bool HandleNotify(TNotifyUI& msg);
    virtual void OnClick(TNotifyUI&) {}
    virtual void OnSelectChanged(TNotifyUI&) {}

private:
    std::map<CDuiString, CNotifyPump*> m_virtualWnds;
};

}  // namespace kelsor::ui
