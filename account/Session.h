#pragma once

#include <optional>
#include <string>

#include "account/AccountWindowPort.h"

// Beginning and ending the user's session. Everything here runs on the UI
// thread and works on CurrentUser() and App().
namespace kelsor {

// Begins the session from CurrentUser(): hands the cloud credentials to the
// recognition client, shows the user (nickname, or mobile when the nickname
// is empty) with `placement`, sets loggedIn and, when SaveSession() is true,
// writes the session file.
void ApplySession(AccountWindowPort& window, int placement);

// Start-up auto-login, called once at the end of the main window's
// initialisation. With a readable session file it fetches the auto-login
// reply into App().autoLoginReply and sends message 2153, whatever the
// request's outcome. Without one it does nothing: no request, no message.
void RestoreSession(AccountWindowPort& window);

// The auto-login call for a saved session: autoLoginApiUrl, then
// "/userid/<id>/token/<token>".
std::wstring AutoLoginUrl(const std::wstring& userid, const std::wstring& token);

// The main window's handler of message 2153: an empty reply does nothing; a
// reply that parses begins the session with placement 1. Anything else
// leaves the user signed out, silently. True when the session began.
bool HandleAutoLoginReply(AccountWindowPort& window);

// Log-out: empties CurrentUser(), deletes the session file, sends 2152. The
// recognition client keeps its credentials and token.
void LogOut(AccountWindowPort& window);

// The sign-in gate in front of every recognition start: true when signed in;
// otherwise sends 2141 (open the register/login window) and returns false.
bool PassSignInGate(AccountWindowPort& window);

// The page actions whose behaviour lives in the session: "moblielogin",
// "qqlogin", "wechatlogin", "bindcellphone", "autologinchk",
// "bindcellphoneshowqq", "bindcellphoneshowwx". Returns the page's answer
// ("0"), or nothing when `action` is not one of these.
std::optional<std::wstring> RunSessionPageAction(AccountWindowPort& window,
                                                 const std::wstring& action,
                                                 const std::wstring& data);

}  // namespace kelsor
