#include "WindowsTestSupport.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <map>
#include <mutex>

#include "account/Session.h"
#include "account/UserInfo.h"
#include "account/windows/AccountWindows.h"
#include "account/windows/AccountWnd.h"
#include "account/windows/ScriptBridge.h"
#include "app/AppContext.h"
#include "platform/ui/MainWindowRef.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebView.h"
#include "skin/SkinData.h"

namespace kelsor::account::test {

std::wstring UserRecord(const std::wstring& n, const std::wstring& nickname,
                        const std::wstring& mobile) {
    return LR"({"sp":"1.0","userid":"u)" + n + LR"(","nickname":")" + nickname +
           LR"(","mobile":")" + mobile + LR"(","avatar":"","hwusername":"iam-u)" + n +
           LR"(","hwpassword":"pw","hwdomainname":"kelsor","hwregion":"cn-north-4","token":"t)" +
           n + LR"("})";
}

// Every page is titled with its own path; a path ending in "/links" carries
// the links of the navigation tests, "/calls" asks wkaction on load.
void ServeTestPages(httplib::Server& http) {
    http.Get(".*", [](const httplib::Request& req, httplib::Response& res) {
        std::string body = "<!doctype html><html><head><meta charset=utf-8><title>" + req.path +
                           "</title></head><body><p>" + req.path + "</p>";
        if (req.path.ends_with("/links")) {
            body +=
                "<a id=blankfile target=_blank href='FILE:///tmp/kelsor%20x.txt'>f</a>"
                "<a id=blankweb target=_blank href='http://127.0.0.1:9/doc'>w</a>"
                "<a id=wontopen target=wontOpen href='http://127.0.0.1:9/never'>n</a>"
                "<a id=self target=_self href='/self-target'>s</a>"
                "<a id=named target=somewhere href='/named-target'>o</a>";
        }
        body += "</body></html>";
        res.set_content(body, "text/html; charset=utf-8");
    });
}

std::unique_ptr<LoopbackServer> StartTestPages() {
    auto server = std::make_unique<LoopbackServer>();
    ServeTestPages(server->Http());
    server->Start();
    return server;
}

TestMainWnd::TestMainWnd() {
    Create(nullptr, L"KelsorOCR文字识别", 0, 0);
    MoveWindow(40, 30, 1120, 720);
    ShowWindow(true);
    ui::SetMainWindow(this);
}

TestMainWnd::~TestMainWnd() {
    ui::SetMainWindow(nullptr);
}

void TestMainWnd::ShowSignedIn(const std::wstring& displayName, int) {
    signedIn.push_back(displayName);
}

void TestMainWnd::SendMessage(WindowMessage message) {
    ui::CWindowWnd::SendMessage(message, 0, 0);
}

void TestMainWnd::PostMessage(WindowMessage message) {
    ui::CWindowWnd::PostMessage(message, 0, 0);
}

void TestMainWnd::CloseAccountWindow(AccountWindowKind kind) {
    account::CloseAccountWindow(kind);
}

ui::LRESULT TestMainWnd::HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    handled.push_back(msg);
    // As the program's main window routes them.
    switch (msg) {
        case WM_KSOCR_AUTOLOGINREPLY:
            HandleAutoLoginReply(*this);
            return 0;
        case WM_KSOCR_OPENLOGIN:
            OpenRegisterLoginWindow(this);
            return 0;
        case WM_KSOCR_QQCLOSED:
        case WM_KSOCR_WECHATCLOSED:
            account::CloseAccountWindow(msg == WM_KSOCR_QQCLOSED ? AccountWindowKind::QQLogin
                                                                 : AccountWindowKind::WeChatLogin);
            OpenRegisterLoginWindow(this);
            return msg == WM_KSOCR_QQCLOSED ? 1 : 0;
        case WM_KSOCR_OPENBINDPHONE:
            OpenBindCellPhoneWindow(this);
            return 0;
        case WM_KSOCR_BINDPHONECLOSED:
            account::CloseAccountWindow(AccountWindowKind::BindCellPhone);
            return 0;
        default:
            return ui::CWindowWnd::HandleMessage(msg, wParam, lParam);
    }
}

Scenario& Scenario::Then(std::string name, std::function<bool()> ready, std::function<void()> act) {
    m_steps.push_back(Step{std::move(name), std::move(ready), std::move(act)});
    return *this;
}

Scenario& Scenario::Do(std::string name, std::function<void()> act) {
    return Then(
        std::move(name), [] { return true; }, std::move(act));
}

namespace {

bool AnyAccountWindowOpen() {
    for (auto kind : {AccountWindowKind::RegisterLogin, AccountWindowKind::QQLogin,
                      AccountWindowKind::WeChatLogin, AccountWindowKind::BindCellPhone}) {
        if (FindAccountWindow(kind) != nullptr)
            return true;
    }
    return false;
}

void CloseAll() {
    for (auto kind : {AccountWindowKind::RegisterLogin, AccountWindowKind::QQLogin,
                      AccountWindowKind::WeChatLogin, AccountWindowKind::BindCellPhone}) {
        account::CloseAccountWindow(kind);
    }
}

}  // namespace

std::string Scenario::Run(std::function<void()> start, int deadlineMs) {
    constexpr qint64 kQuietMs = 200;
    std::size_t next = 0;
    QElapsedTimer quiet;  // how long no account window has been open
    bool finished = false;
    QDeadlineTimer deadline(deadlineMs);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (next < m_steps.size() && !deadline.hasExpired()) {
            Step& step = m_steps[next];
            if (step.ready()) {
                ++next;  // first: the action may open a window whose loop nests here
                if (step.act)
                    step.act();
            }
            return;
        }
        // Done or out of time: unwind every modal loop, then stop once
        // nothing has been open for a while (posted openings included).
        if (AnyAccountWindowOpen()) {
            quiet.invalidate();
            CloseAll();
            return;
        }
        if (!quiet.isValid())
            quiet.start();
        if (quiet.elapsed() >= kQuietMs && !finished) {
            finished = true;
            tick.stop();
            loop.quit();
        }
    });
    tick.start();
    QTimer::singleShot(0, [&] {
        if (start)
            start();
    });
    loop.exec();
    return next < m_steps.size() ? m_steps[next].name : std::string();
}

// A condition that holds once `ms` have passed since it was first asked.
std::function<bool()> After(int ms) {
    auto clock = std::make_shared<QElapsedTimer>();
    return [=] {
        if (!clock->isValid())
            clock->start();
        return clock->elapsed() >= ms;
    };
}

void ScriptResult::Settle() {
    if (pageLost && lastAnswer) {
        value = *lastAnswer;
        done = true;
    }
}

std::shared_ptr<ScriptResult> EvalAsync(platform::WebView* view, const std::wstring& script) {
    auto result = std::make_shared<ScriptResult>();
    auto* web = qobject_cast<QWebEngineView*>(view != nullptr ? view->HostWindow() : nullptr);
    if (web == nullptr) {
        result->done = true;
        result->value = L"<no view>";
        return result;
    }
    // The bridge's own handler, with its answers noted for this script.
    platform::WebBindFunction(
        L"wkaction", 5, [result](platform::WebView* v, std::vector<std::wstring> args) {
            std::optional<std::wstring> answer = WkAction(v, args);
            result->lastAnswer = answer ? L"S:" + *answer : std::wstring(L"<undefined>");
            result->Settle();
            return answer;
        });
    web->page()->runJavaScript(QString::fromStdWString(script), [result](const QVariant& value) {
        if (!value.isValid()) {
            result->pageLost = true;  // the page went away first
            result->Settle();
            return;
        }
        result->value =
            value.isNull() ? std::wstring(L"<undefined>") : value.toString().toStdWString();
        result->done = true;
    });
    return result;
}

std::wstring WkCall(const std::vector<std::wstring>& args) {
    std::wstring list;
    for (const std::wstring& a : args) {
        if (!list.empty())
            list += L",";
        list += L"'" + a + L"'";
    }
    return L"(function(){ if (typeof wkaction !== 'function') return 'no wkaction';"
           L" var r = wkaction(" +
           list + L"); return r === undefined ? '<undefined>' : 'S:' + r; })()";
}

platform::WebView* ViewOn(AccountWindowKind kind, const std::wstring& title) {
    CAccountWnd* window = FindAccountWindow(kind);
    if (window == nullptr || window->Web().view == nullptr)
        return nullptr;
    platform::WebView* view = window->Web().view;
    return view->PageTitle() == title && view->IsShown() ? view : nullptr;
}

void PrepareApp(const std::wstring& origin, const std::string& dataFolder) {
    static const bool skin = skin::Install();
    (void)skin;
    AppContext& app = App();
    app.productName = L"KelsorOCR";
    app.versionText = L"1.2.3.4";
    app.channel = L"10001";
    app.blankPageUrl = origin + L"/index/index/blank";
    app.loginPageUrl = origin + L"/index/account/login/pro/ocr/ver/1.2.3.4/channel/10001";
    app.bindPhonePageUrl =
        origin + L"/index/account/bindphone/pro/ocr/ver/1.2.3.4/channel/10001/uid/";
    app.dataFolder = std::wstring(dataFolder.begin(), dataFolder.end()) + L"/";
    app.sessionFilePath = app.dataFolder + L"ud";
    app.avatarPath = app.dataFolder + L"useravtar.png";
    CurrentUser() = UserInfo{};
    SaveSession() = true;
}

}  // namespace kelsor::account::test
