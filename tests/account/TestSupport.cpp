#include "TestSupport.h"

#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/TextConv.h"

namespace kelsor::test {

std::string Hex(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

void ResetSession(const TempFolder& folder) {
    CurrentUser() = UserInfo{};
    SaveSession() = true;
    App().sessionFilePath = AnsiToWide(folder.file("ud"));
    App().autoLoginReply.set(L"");
}

void RecordingAccountWindow::ShowSignedIn(const std::wstring& displayName, int placement) {
    signedIn.emplace_back(displayName, placement);
}

}  // namespace kelsor::test
