#pragma once
// The account pages of server/www in a real web view: served over loopback as
// kelsor-server assembles them, with a small stand-in for the JSON API and a
// wkaction handler recording what the pages ask of the program.

#include <gtest/gtest.h>
#include <httplib.h>

#include <QWidget>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "WebTestSupport.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebView.h"

namespace kelsor::platform::test {

inline constexpr const char* kSmsCode = "482913";

// Serves the pages under their account-service paths and answers the API
// with fixed accounts: 13800138000 / "secret1" exists; QQ "10001" is linked
// to a phone, any other QQ or WeChat account is new.
void ServePages(httplib::Server& http);

struct Call {
    std::wstring module;
    std::wstring action;
    std::wstring data;
    size_t count;
};

class AccountPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ServePages(m_server.Http());
        m_server.Start();
        m_origin = L"http://web.kelsor.localhost:" + std::to_wstring(m_server.Port());
        WebSetTrustedOrigins({m_origin});
        WebBindFunction(L"wkaction", 5, [this](WebView*, std::vector<std::wstring> args) {
            return Handle(std::move(args));
        });
    }

    void TearDown() override {
        if (m_view != nullptr) {
            m_view->Destroy();
        }
        m_host.reset();
        WebBindFunction(L"wkaction", 5, nullptr);
        WebSetTrustedOrigins({});
    }

    // Answers as the program does for the "app" module, "0" otherwise.
    std::optional<std::wstring> Handle(std::vector<std::wstring> args) {
        Call call{args.size() > 0 ? args[0] : L"", args.size() > 1 ? args[1] : L"",
                  args.size() > 2 ? args[2] : L"", args.size()};
        m_calls.push_back(call);
        if (call.module == L"app") {
            if (call.action == L"productname")
                return L"KelsorOCR";
            if (call.action == L"ver")
                return L"1.0.0.1";
            if (call.action == L"channel")
                return L"official";
            return L"-2";
        }
        return L"0";
    }

    // A host of the window's size with the view at its rectangle.
    void Open(const std::wstring& path, int windowWidth, int windowHeight, int x, int y, int width,
              int height) {
        m_host = MakeHost(windowWidth, windowHeight);
        m_view = WebView::Create(m_host.get(), x, y, width, height);
        ASSERT_NE(m_view, nullptr);
        bool ready = false;
        m_view->OnDocumentReady([&ready](WebView* view) {
            view->Show(true);
            ready = true;
        });
        m_view->LoadUrl(m_origin + path);
        ASSERT_TRUE(WaitFor([&] { return ready; })) << "page did not load";
        m_view->OnDocumentReady(nullptr);
    }
    // The 322 x 471 windows: caption band 30, the view below it.
    void OpenSmall(const std::wstring& path) { Open(path, 322, 471, 1, 30, 320, 440); }
    // The 670 x 440 QQ window.
    void OpenQQ(const std::wstring& path) { Open(path, 670, 440, 10, 38, 650, 392); }

    std::wstring Js(const std::wstring& script) { return Evaluate(m_view, script); }
    void Click(const std::wstring& id) { Js(L"document.getElementById('" + id + L"').click(); 0"); }
    void Type(const std::wstring& id, const std::wstring& text) {
        Js(L"document.getElementById('" + id + L"').value = '" + text + L"'; 0");
    }
    std::wstring Text(const std::wstring& id) {
        return Js(L"document.getElementById('" + id + L"').textContent");
    }

    // Types `text` into `id`, clicks `button` and gives the message the page
    // shows at once.
    std::wstring Submit(const std::wstring& id, const std::wstring& text,
                        const std::wstring& button) {
        Type(id, text);
        Click(button);
        return Text(L"message");
    }

    // Asks for a verification code and waits for the page to show it.
    bool RequestCode() {
        Click(L"sendcode");
        return WaitFor([&] { return Text(L"code-hint").find(L"482913") != std::wstring::npos; });
    }

    // The first recorded call of module/action, waiting for it.
    std::optional<Call> WaitCall(const std::wstring& module, const std::wstring& action) {
        std::optional<Call> found;
        WaitFor(
            [&] {
                for (const Call& c : m_calls) {
                    if (c.module == module && c.action == action) {
                        found = c;
                        return true;
                    }
                }
                return false;
            },
            std::chrono::seconds(10));
        return found;
    }
    size_t CountCalls(const std::wstring& action) {
        return std::count_if(m_calls.begin(), m_calls.end(),
                             [&](const Call& c) { return c.action == action; });
    }

    LoopbackServer m_server;
    std::wstring m_origin;
    std::unique_ptr<QWidget> m_host;
    WebView* m_view = nullptr;
    std::vector<Call> m_calls;
};

inline const std::wstring kLoginPath = L"/index/account/login/pro/ocr/ver/1.0.0.1/channel/official";

inline const std::wstring kQQPath = L"/index/account/qqlogin/pro/ocr/ver/1.0.0.1/channel/official";
inline const std::wstring kWeChatPath =
    L"/index/account/wechatlogin/pro/ocr/ver/1.0.0.1/channel/official";
inline const std::wstring kBindPath =
    L"/index/account/bindphone/pro/ocr/ver/1.0.0.1/channel/official/uid/wechat-newuser";

}  // namespace kelsor::platform::test
