#pragma once
// Shared pieces of the account window tests: a main window that routes the
// account messages as the real one does, a driver that runs steps while the
// account windows' modal loops nest, and asynchronous script evaluation
// (waiting for a script from inside a step would block a nested modal loop).

#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "WebTestSupport.h"
#include "account/AccountWindowPort.h"
#include "platform/ui/UiLib.h"

namespace kelsor::platform {
class WebView;
}

namespace kelsor::account::test {

using platform::test::LoopbackServer;
using Kind = AccountWindowKind;
namespace fs = std::filesystem;

// The sign-in page's path as the program asks for it.
inline const std::wstring kLoginPath = L"/index/account/login/pro/ocr/ver/1.2.3.4/channel/10001";

// A signed-in user's record as the pages hand it over: user "u<n>" with
// token "t<n>".
std::wstring UserRecord(const std::wstring& n, const std::wstring& nickname,
                        const std::wstring& mobile);

// A bare main window: 1120 x 720, routes 2141-2150 to the account windows,
// records what the session shows and what reaches its handler.
class TestMainWnd : public ui::CWindowWnd, public AccountWindowPort {
public:
    TestMainWnd();
    ~TestMainWnd() override;

    void ShowSignedIn(const std::wstring& displayName, int placement) override;
    void ShowSignedOut() override {}
    void SendMessage(WindowMessage message) override;
    void PostMessage(WindowMessage message) override;
    void CloseAccountWindow(AccountWindowKind kind) override;
    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    std::vector<std::wstring> signedIn;
    std::vector<ui::UINT> handled;
    bool Handled(ui::UINT message) const {
        return std::find(handled.begin(), handled.end(), message) != handled.end();
    }

protected:
    ui::CDuiString GetWindowClassName() const override { return L"Main"; }
};

// Steps run one after another from a timer, each once its condition holds;
// the timer fires inside whatever modal loop is running, so steps may open
// and close windows. Steps must not wait themselves.
class Scenario {
public:
    Scenario& Then(std::string name, std::function<bool()> ready, std::function<void()> act = {});
    Scenario& Do(std::string name, std::function<void()> act);
    // Runs `start` from the event loop, then the steps; afterwards every
    // account window is closed and the loops unwound. The name of the first
    // step not reached, or empty when all ran.
    std::string Run(std::function<void()> start, int deadlineMs = 60000);

private:
    struct Step {
        std::string name;
        std::function<bool()> ready;
        std::function<void()> act;
    };
    std::vector<Step> m_steps;
};

// A condition that holds once `ms` have passed since it was first asked.
std::function<bool()> After(int ms);

// The result of a script. When the script's own call closes the window, the
// page goes before the engine returns the result; the answer of the script's
// last wkaction call, recorded on the program's side, stands in for it.
struct ScriptResult {
    bool done = false;
    std::wstring value;  // "<undefined>" for undefined or null
    bool Ready() const { return done; }

    bool pageLost = false;
    std::optional<std::wstring> lastAnswer;  // "S:" + answer, or "<undefined>"
    void Settle();
};
std::shared_ptr<ScriptResult> EvalAsync(platform::WebView* view, const std::wstring& script);

// Script text of a wkaction call that yields "S:" + result, or "<undefined>".
std::wstring WkCall(const std::vector<std::wstring>& args);

// The account window of that kind showing a page titled `title`.
platform::WebView* ViewOn(AccountWindowKind kind, const std::wstring& title);

// Serves pages titled with their own path; a path ending in "/links" carries
// the links of the navigation tests.
void ServeTestPages(httplib::Server& http);
// A loopback server of those pages, started.
std::unique_ptr<LoopbackServer> StartTestPages();

// Prepares the process once: skin archive, App() texts and URLs for `origin`,
// session file in a fresh folder, signed out, saveSession true.
void PrepareApp(const std::wstring& origin, const std::string& dataFolder);

}  // namespace kelsor::account::test
