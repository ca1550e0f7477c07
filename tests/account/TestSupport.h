#pragma once

#include <string>
#include <vector>

#include "TempFolder.h"
#include "account/AccountWindowPort.h"

// Helpers shared by the account tests.
namespace kelsor::test {

// Lower-case hexadecimal of the bytes of `text`.
std::string Hex(const std::string& text);

// Signed out, saveSession true, session file in `folder`.
void ResetSession(const TempFolder& folder);

// Records what the session asks of the main window.
class RecordingAccountWindow : public AccountWindowPort {
public:
    void ShowSignedIn(const std::wstring& displayName, int placement) override;
    void ShowSignedOut() override { ++signedOutShown; }
    void SendMessage(WindowMessage message) override { sent.push_back(message); }
    void PostMessage(WindowMessage message) override { posted.push_back(message); }
    void CloseAccountWindow(AccountWindowKind kind) override { closed.push_back(kind); }

    std::vector<std::pair<std::wstring, int>> signedIn;
    int signedOutShown = 0;
    std::vector<WindowMessage> sent;
    std::vector<WindowMessage> posted;
    std::vector<AccountWindowKind> closed;
};

}  // namespace kelsor::test
