#pragma once

#include <string>

#include "account/UserInfo.h"

// Reading user records. In every record a member counts only when it is a
// JSON string; a missing member, a number, a boolean or null reads as empty.
// Text crosses between wide and narrow form through the process code page.
namespace kelsor {

// A sign-in page's bare record (the UserInfo members at the top level).
// 0 on success; non-zero on failure. A record that is not JSON stores nothing;
// one whose "sp" is not "1.0" stores only `sp`. `loggedIn` is never touched.
int ParseUserInfo(const std::wstring& text, UserInfo& user);

// The auto-login reply: {"code":"200","data":{...record...}}. "code" must be
// the string "200". Same result and storing rules as ParseUserInfo.
int ParseAutoLoginReply(const std::wstring& text, UserInfo& user);

}  // namespace kelsor
