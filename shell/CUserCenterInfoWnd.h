#pragma once

#include <QPoint>

#include "account/AccountWindowPort.h"
#include "account/UserInfo.h"
#include "platform/ui/UiLib.h"

// The user centre popup under the signed-in user's picture: picture, name
// (the mobile number when the nickname is empty) and log-out. Created once,
// hidden; hides itself on any click in it (log-out too), on Esc and when it
// loses the focus.
namespace kelsor::shell {

class CUserCenterInfoWnd : public ui::WindowImplBase {
public:
    // `mainWindow` receives the log-out (message 2152).
    explicit CUserCenterInfoWnd(AccountWindowPort& mainWindow) : m_mainWindow(mainWindow) {}

    // Moves the popup's top-left corner to `screenPos`, shows the avatar file
    // and `user`'s name, shows the popup and gives it the focus.
    void ShowAt(const QPoint& screenPos, const UserInfo& user);

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

protected:
    ui::CDuiString GetWindowClassName() const override { return L"UserCenterInfoWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"usercenterinfownd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    void OnFinalMessage(ui::HWND) override { delete this; }

private:
    AccountWindowPort& m_mainWindow;
};

}  // namespace kelsor::shell
