#include "account/Session.h"
#include "account/SessionFile.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"

// Kept apart from the rest of the session code: it is the only piece that
// talks to the network.
namespace kelsor {

std::wstring AutoLoginUrl(const std::wstring& userid, const std::wstring& token) {
    return App().autoLoginApiUrl + L"/userid/" + userid + L"/token/" + token;
}

void RestoreSession(AccountWindowPort& window) {
    std::wstring userid;
    std::wstring token;
    if (!ReadSessionFile(App().sessionFilePath, userid, token)) {
        return;  // no file, or one we cannot read: stay signed out, keep the file
    }
    std::wstring reply;
    HttpGetText(reply, AutoLoginUrl(userid, token));
    App().autoLoginReply.set(std::move(reply));
    window.SendMessage(WM_KSOCR_AUTOLOGINREPLY);
}

}  // namespace kelsor
