#pragma once

#include <string>

#include "platform/sys/Messages.h"

// What the account session needs from the main window. The main window
// implements it; the session code never sees a window class.
namespace kelsor {

// The account windows a sign-in page can be hosted in.
enum class AccountWindowKind {
    RegisterLogin,  // "CRegisterLoginWnd"
    QQLogin,        // "CQQLoginWnd"
    WeChatLogin,    // "CWeChatLoginWnd"
    BindCellPhone,  // "CBindCellPhoneWnd"
};

class AccountWindowPort {
public:
    virtual ~AccountWindowPort() = default;

    // The signed-in display: download the avatar into avatarPath, show the
    // picture and `displayName`. `placement` is 1 while the main window is
    // still initialising, 0 afterwards (it only moves the picture button).
    virtual void ShowSignedIn(const std::wstring& displayName, int placement) = 0;
    // The signed-out display (what message 2152 leads to).
    virtual void ShowSignedOut() = 0;
    // Delivers `message` to the main window's handler at once (SendMessage).
    virtual void SendMessage(WindowMessage message) = 0;
    // Queues `message` for the main window's handler (PostMessage).
    virtual void PostMessage(WindowMessage message) = 0;
    // Closes the account window of that kind when one is open (result 1).
    virtual void CloseAccountWindow(AccountWindowKind kind) = 0;
};

}  // namespace kelsor
