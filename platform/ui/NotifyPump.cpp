#include "platform/ui/NotifyPump.h"

namespace kelsor::ui {

bool CNotifyPump::AddVirtualWnd(const CDuiString& name, CNotifyPump* pump) {
    if (name.empty() || pump == nullptr || m_virtualWnds.count(name) != 0)
        return false;
    m_virtualWnds[name] = pump;
    return true;
}

bool CNotifyPump::RemoveVirtualWnd(const CDuiString& name) {
    return m_virtualWnds.erase(name) != 0;
}

CNotifyPump* CNotifyPump::GetVirtualWnd(const CDuiString& name) const {
    auto it = m_virtualWnds.find(name);
    return it == m_virtualWnds.end() ? nullptr : it->second;
}

void CNotifyPump::NotifyPump(TNotifyUI& msg) {
    if (!msg.sVirtualWnd.empty()) {
        if (CNotifyPump* pump = GetVirtualWnd(msg.sVirtualWnd)) {
            pump->HandleNotify(msg);
            return;
        }
    }
    HandleNotify(msg);
}

bool CNotifyPump::HandleNotify(TNotifyUI& msg) {
    if (msg.sType == L"click") {
        OnClick(msg);
        return true;
    }
    if (msg.sType == L"selectchanged") {
        OnSelectChanged(msg);
        return true;
    }
    return false;
}

}  // namespace kelsor::ui
