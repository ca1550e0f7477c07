#include "shell/CUserCenterInfoWnd.h"
#include <QKeySequence>
#include <QShortcut>

#include <QWidget>

#include "account/Session.h"
#include "app/AppContext.h"

namespace kelsor::shell {

void CUserCenterInfoWnd::InitWindow() {
    // Esc closes the popup, as it closes any menu.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), GetHWND());
    QObject::connect(close, &QShortcut::activated, GetHWND(), [this] { ShowWindow(false); });
}

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
        // Nobody is signed in any more: the centre of the user that was has
        // nothing left to show.
        LogOut(m_mainWindow);
        if (GetHWND() != nullptr)
            ShowWindow(false);
        return;
    }
    if (GetHWND() != nullptr)
        ShowWindow(false);
}

}  // namespace kelsor::shell
