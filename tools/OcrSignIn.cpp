#include "tools/OcrSignIn.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "account/AccountWindowPort.h"
#include "account/Session.h"
#include "account/SessionFile.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/JsonText.h"
#include "app/TextConv.h"
#include "cloud/HWOcrClientToken.h"

namespace kelsor::tools {
namespace {

// No window to show anything in: the session code's calls to the main window
// have nothing to do here.
class HeadlessAccountPort : public AccountWindowPort {
public:
    void ShowSignedIn(const std::wstring&, int) override {}
    void ShowSignedOut() override {}
    void SendMessage(WindowMessage) override {}
    void PostMessage(WindowMessage) override {}
    void CloseAccountWindow(AccountWindowKind) override {}
};

// An exclusive lock on the data folder for the whole sign-in. A lock on the
// session file itself would not do: a new session file replaces the old one.
class DataFolderLock {
public:
    explicit DataFolderLock(const std::wstring& folder)
        : m_fd(::open(WideToAnsi(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
    }
    ~DataFolderLock() {
        if (m_fd >= 0) {
            ::close(m_fd);  // releases the lock
        }
    }
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

private:
    int m_fd;
};

// The service's own words for a refusal ("msg"), when the reply has them.
std::string RefusalText(const std::wstring& reply) {
    Json::Value root;
    const std::string message =
        ParseJsonObject(WideToAnsi(reply), root) ? StringMember(root, "msg") : std::string();
    return message.empty() ? "the account service did not accept the saved session"
                           : "the account service said: " + message;
}

}  // namespace

OcrSignIn SignInWithSavedSession(std::string& detail) {
    DataFolderLock lock(App().dataFolder);
    std::wstring userid;
    std::wstring token;
    if (!ReadSessionFile(App().sessionFilePath, userid, token)) {
        detail = "no saved session in " + WideToAnsi(App().sessionFilePath);
        return OcrSignIn::NoSession;
    }
    std::wstring reply;
    const int result = HttpGetText(reply, AutoLoginUrl(userid, token));
    if (result != CURLE_OK) {
        detail = "the account service cannot be reached (" +
                 WideToAnsi(App().autoLoginApiUrl.substr(0, App().autoLoginApiUrl.find(L"/api"))) +
                 "): " + curl_easy_strerror(static_cast<CURLcode>(result));
        return OcrSignIn::Unreachable;
    }
    App().autoLoginReply.set(reply);
    HeadlessAccountPort port;
    if (!HandleAutoLoginReply(port)) {
        detail = RefusalText(reply);
        return OcrSignIn::Refused;
    }
    if (OcrClientToken().GetToken().empty()) {
        detail = "the cloud identity service gave no token";
        return OcrSignIn::NoCloudToken;
    }
    return OcrSignIn::SignedIn;
}

}  // namespace kelsor::tools
