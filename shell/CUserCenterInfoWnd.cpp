#include "shell/CUserCenterInfoWnd.h"

#include <QWidget>

#include "account/Session.h"
#include "app/AppContext.h"

namespace kelsor::shell {

void CUserCenterInfoWnd::ShowAt(const QPoint& screenPos, const UserInfo& user) {
    if (GetHWND() == nullptr)
        return;
    GetHWND()->move(screenPos);
    if (ui::CControlUI* head = m_PaintManager.FindControl(L"userhead")) {
        head->SetAttribute(L"bkimage", App().avatarPath);
        head->SetVisible(true);
    }
    if (ui::CControlUI* name = m_PaintManager.FindControl(L"nickname"))
        name->SetText(user.nickname.empty() ? user.mobile : user.nickname);
    ShowWindow(true, true);
}

ui::LRESULT CUserCenterInfoWnd::HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    if (msg == ui::WM_KILLFOCUS)
        ShowWindow(false);
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CUserCenterInfoWnd::OnClick(ui::TNotifyUI& msg) {
    const ui::CDuiString name = msg.pSender != nullptr ? msg.pSender->GetName() : L"";
    if (name == L"logoutbtn") {
        // Stays open until it loses the focus, as the user sees it sign out.
        LogOut(m_mainWindow);
        return;
    }
    if (GetHWND() != nullptr)
        ShowWindow(false);
}

}  // namespace kelsor::shell
