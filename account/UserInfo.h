#pragma once

#include <string>

// The signed-in user's record and the process-wide session switches. Written
// on the UI thread only; worker threads never read them.
namespace kelsor {

struct UserInfo {
    std::wstring sp;  // record format version; must be "1.0"
    std::wstring userid;
    std::wstring nickname;  // may be empty; mobile is shown then
    std::wstring mobile;
    std::wstring avatar;  // URL of the user's picture
    std::wstring hwusername;
    std::wstring hwpassword;
    std::wstring hwdomainname;
    std::wstring hwregion;
    std::wstring token;  // the account service's session token
    bool loggedIn = false;
};

// The one process-wide instance: every string empty, loggedIn false at start.
UserInfo& CurrentUser();

// `saveSession`: whether a session that begins is saved for the next start.
// True at start; the sign-in page's "autologinchk" action sets it.
bool& SaveSession();

}  // namespace kelsor
