#include "account/UserInfo.h"

namespace kelsor {

UserInfo& CurrentUser() {
    static UserInfo user;
    return user;
}

bool& SaveSession() {
    static bool saveSession = true;
    return saveSession;
}

}  // namespace kelsor
