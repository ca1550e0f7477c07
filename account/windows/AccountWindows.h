#pragma once
// Opening and closing the account windows, with one process-wide reference
// per kind to the window of that kind that is open. The main window calls
// these for its buttons and messages; the script bridge for the pages.

#include <string>

#include "account/AccountWindowPort.h"
#include "platform/ui/UiTypes.h"

namespace kelsor::ui {
class CWindowWnd;
}

namespace kelsor::account {

class CAccountWnd;

// Each creates the window owned by `owner`, loads its page, centres it over
// the owner's client area and runs it modally; when the run ends the window
// object is deleted and its reference cleared. Returns the close code. A
// second opening of a kind whose window is still open only brings that
// window to the front (and returns 0).
int OpenRegisterLoginWindow(ui::CWindowWnd* owner);  // App().loginPageUrl
int OpenQQLoginWindow(ui::CWindowWnd* owner, const std::wstring& url);
int OpenWeChatLoginWindow(ui::CWindowWnd* owner, const std::wstring& url);
int OpenBindCellPhoneWindow(ui::CWindowWnd* owner);  // App().bindPhoneTargetUrl

// Closes the open window of that kind with close code 1; nothing when none.
void CloseAccountWindow(AccountWindowKind kind);

// The open window of that kind, or null.
CAccountWnd* FindAccountWindow(AccountWindowKind kind);

// The main window as the session sees it: the main window itself when it
// implements AccountWindowPort; otherwise a stand-in that delivers messages
// to it, closes windows here and shows nothing.
AccountWindowPort& MainWindowPort();

}  // namespace kelsor::account
