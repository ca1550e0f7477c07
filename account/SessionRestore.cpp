#include "account/Session.h"
#include "account/SessionFile.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"

// Kept apart from the rest of the session code: it is the only piece that
// talks to the network.
namespace kelsor {

void RestoreSession(AccountWindowPort& window) {
    std::wstring userid;
    std::wstring token;
    if (!ReadSessionFile(App().sessionFilePath, userid, token)) {
        return;  // no file, or one we cannot read: stay signed out, keep the file
    }
    std::wstring url = App().autoLoginApiUrl + L"/userid/" + userid + L"/token/" + token;
    std::wstring reply;
    HttpGetText(reply, url);
    App().autoLoginReply.set(std::move(reply));
    window.SendMessage(WM_KSOCR_AUTOLOGINREPLY);
}

}  // namespace kelsor
