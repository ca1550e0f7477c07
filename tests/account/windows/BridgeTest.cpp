// The script bridge in real web views of real account windows, offscreen:
// the dispatch table, the error answers, the navigation policy and the
// restriction of wkaction to the account service's pages.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "WebTestSupport.h"
#include "WindowsTestSupport.h"
#include "account/UserInfo.h"
#include "account/windows/AccountWindows.h"
#include "account/windows/AccountWnd.h"
#include "account/windows/ScriptBridge.h"
#include "account/windows/WebWindow.h"
#include "app/AppContext.h"
#include "platform/web/WebView.h"

namespace kelsor::account::test {
namespace {

const std::wstring kBindPath = L"/index/account/bindphone/pro/ocr/ver/1.2.3.4/channel/10001/uid/";
const std::wstring kRecord = UserRecord(L"1", L"", L"13800138000");

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class BridgeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_trusted = StartTestPages();
        s_other = StartTestPages();
        s_origin = L"http://web.kelsor.localhost:" + std::to_wstring(s_trusted->Port());
        s_otherOrigin = L"http://127.0.0.1:" + std::to_wstring(s_other->Port());
    }
    static void TearDownTestSuite() {
        s_trusted.reset();
        s_other.reset();
    }

    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("kelsor-accwin-" + std::to_string(::getpid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        PrepareApp(s_origin, m_folder.string());
        m_main = std::make_unique<TestMainWnd>();
    }
    void TearDown() override {
        m_main.reset();
        fs::remove_all(m_folder);
    }

    // Evaluates `script` in `view`, then checks the answer in a later step.
    void Ask(Scenario& s, const std::string& name, std::function<platform::WebView*()> view,
             std::function<std::wstring()> script, std::shared_ptr<ScriptResult>& out) {
        s.Then(
            name, [view] { return view() != nullptr; },
            [view, script, &out] { out = EvalAsync(view(), script()); });
        s.Then(name + " answered", [&out] { return out && out->Ready(); });
    }
    // The same with a fixed bridge call.
    void Ask(Scenario& s, const std::string& name, std::function<platform::WebView*()> view,
             const std::vector<std::wstring>& call, std::shared_ptr<ScriptResult>& out) {
        const auto script = [call] { return WkCall(call); };
        Ask(s, name, std::move(view), script, out);
    }

    std::wstring Login() const { return s_origin + kLoginPath; }
    bool SessionFileExists() const { return fs::exists(m_folder / "ud"); }

    static std::unique_ptr<LoopbackServer> s_trusted;
    static std::unique_ptr<LoopbackServer> s_other;
    static std::wstring s_origin;
    static std::wstring s_otherOrigin;
    fs::path m_folder;
    std::unique_ptr<TestMainWnd> m_main;
};

std::unique_ptr<LoopbackServer> BridgeTest::s_trusted;
std::unique_ptr<LoopbackServer> BridgeTest::s_other;
std::wstring BridgeTest::s_origin;
std::wstring BridgeTest::s_otherOrigin;

// Calls that open or close nothing, answered in one script.
TEST_F(BridgeTest, AnswersAppCallsAndErrors) {
    std::shared_ptr<ScriptResult> answers, session0, session1, sessionTrue;
    const auto login = [this] { return ViewOn(Kind::RegisterLogin, kLoginPath); };
    Scenario s;
    Ask(
        s, "calls", login,
        [] {
            return L"(function(){ function W(){ var r = wkaction.apply(null, arguments);"
                   L" return r === undefined ? 'U' : 'S:' + r; } return ["
                   L"W('app','productname'), W('app','ver'), W('app','channel'),"
                   L"W('app','productname','ignored'), W('app','nothing'), W('app','Ver'),"
                   L"W('nomodule','ver'), W('nomodule','ver','x'), W('App','ver'),"
                   L"W('registerlogin','nothing'), W('thirdlogin','moblielogin'),"
                   L"W('registerlogin','qqlogin','x'), W('app'), W(), W('app','ver','x','y')"
                   L"].join('|'); })()";
        },
        answers);
    Ask(s, "autologinchk 0", login, {L"registerlogin", L"autologinchk", L"0"}, session0);
    s.Then("saveSession cleared", [] { return !SaveSession(); });
    Ask(s, "autologinchk 1", login, {L"registerlogin", L"autologinchk", L"1"}, session1);
    s.Then("saveSession set", [] { return SaveSession(); });
    Ask(s, "autologinchk true", login, {L"registerlogin", L"autologinchk", L"true"}, sessionTrue);
    s.Then("saveSession cleared by true", [] { return !SaveSession(); });
    EXPECT_EQ(s.Run([this] { OpenRegisterLoginWindow(m_main.get()); }), "");

    ASSERT_TRUE(answers && answers->done);
    EXPECT_EQ(answers->value,
              L"S:KelsorOCR|S:1.2.3.4|S:10001|S:KelsorOCR|S:-2|S:-2|S:-3|S:-3|S:-3|S:-2|S:-2|"
              L"S:-2|S:|S:|S:");
    EXPECT_EQ(session0->value, L"S:0");
    EXPECT_EQ(session1->value, L"S:0");
    EXPECT_EQ(sessionTrue->value, L"S:0");
}

TEST_F(BridgeTest, MobileSignInClosesTheWindowAndSavesTheSession) {
    std::shared_ptr<ScriptResult> bad, good;
    int code = -1;
    const auto login = [this] { return ViewOn(Kind::RegisterLogin, kLoginPath); };
    Scenario s;
    // A record that does not parse (here: nested deeper than any reader
    // takes) still closes the window, and the program goes on.
    Ask(
        s, "bad record", login,
        [] {
            const std::wstring deep = std::wstring(5000, L'[') + std::wstring(5000, L']');
            return WkCall(
                {L"registerlogin", L"moblielogin", L"{\"sp\":\"1.0\",\"x\":" + deep + L"}"});
        },
        bad);
    s.Then("closed after bad record",
           [] { return FindAccountWindow(Kind::RegisterLogin) == nullptr; });
    s.Then(
        "loop returned", [&] { return code != -1; },
        [this, &code] {
            code = -1;
            QTimer::singleShot(0, [this, &code] { code = OpenRegisterLoginWindow(m_main.get()); });
        });
    Ask(s, "good record", login, {L"registerlogin", L"moblielogin", kRecord}, good);
    s.Then("closed after sign-in",
           [] { return FindAccountWindow(Kind::RegisterLogin) == nullptr; });
    s.Then("second loop returned", [&] { return code != -1; });
    EXPECT_EQ(s.Run([this, &code] { code = OpenRegisterLoginWindow(m_main.get()); }), "");

    EXPECT_EQ(bad->value, L"S:0");
    EXPECT_EQ(good->value, L"S:0");
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(CurrentUser().loggedIn);
    EXPECT_EQ(CurrentUser().userid, L"u1");
    ASSERT_EQ(m_main->signedIn.size(), 1u);
    EXPECT_EQ(m_main->signedIn[0], L"13800138000");  // no nickname: the mobile
    EXPECT_TRUE(SessionFileExists());
    EXPECT_TRUE(m_main->GetHWND()->isEnabled());
}

// Register/login → QQ → back → QQ → bind phone → signed in; "closewnd" from
// a window that is not the register/login window changes nothing.
TEST_F(BridgeTest, QQFlowThroughBindPhone) {
    const std::wstring qqPath = L"/index/account/qqlogin/pro/ocr/ver/1.2.3.4/channel/10001";
    const std::wstring qqUrl = s_origin + qqPath;
    std::shared_ptr<ScriptResult> show1, back, show2, bind, stray, signIn;
    const auto login = [this] { return ViewOn(Kind::RegisterLogin, kLoginPath); };
    const auto qq = [&] { return ViewOn(Kind::QQLogin, qqPath); };
    const auto phone = [&] { return ViewOn(Kind::BindCellPhone, kBindPath + L"qq-42"); };
    Scenario s;
    Ask(
        s, "qqloginshow", login,
        [&] {
            return WkCall({L"registerlogin", L"qqloginshow", qqUrl});
        },
        show1);
    s.Then(
        "QQ page loaded", [&] { return qq() != nullptr; },
        [] { EXPECT_EQ(FindAccountWindow(Kind::RegisterLogin), nullptr); });
    Ask(s, "qqclosewnd", qq, {L"thirdlogin", L"qqclosewnd"}, back);
    s.Then(
        "back on a fresh login page", [&] { return login() != nullptr; },
        [] { EXPECT_EQ(FindAccountWindow(Kind::QQLogin), nullptr); });
    Ask(
        s, "qqloginshow again", login,
        [&] {
            return WkCall({L"registerlogin", L"qqloginshow", qqUrl});
        },
        show2);
    Ask(s, "bindcellphoneshowqq", qq, {L"registerlogin", L"bindcellphoneshowqq", L"qq-42"}, bind);
    s.Then(
        "bind-phone page loaded", [&] { return phone() != nullptr; },
        [] {
            EXPECT_EQ(FindAccountWindow(Kind::QQLogin), nullptr);
            EXPECT_EQ(App().bindPhoneTargetUrl.get(), App().bindPhonePageUrl + L"qq-42");
        });
    Ask(s, "closewnd without a login window", phone, {L"registerlogin", L"closewnd"}, stray);
    Ask(s, "bindcellphone", phone, {L"registerlogin", L"bindcellphone", kRecord}, signIn);
    s.Then("bind-phone closed", [] { return FindAccountWindow(Kind::BindCellPhone) == nullptr; });
    EXPECT_EQ(s.Run([this] { OpenRegisterLoginWindow(m_main.get()); }), "");

    for (const auto& r : {show1, back, show2, bind, stray, signIn})
        EXPECT_EQ(r->value, L"S:0");
    EXPECT_TRUE(CurrentUser().loggedIn);
    EXPECT_TRUE(m_main->Handled(2149u));
}

TEST_F(BridgeTest, WeChatFlowAndThirdPartySignIn) {
    const std::wstring wxPath = L"/index/account/wechatlogin/pro/ocr/ver/1.2.3.4/channel/10001";
    const std::wstring qqPath = L"/qq";
    std::shared_ptr<ScriptResult> show1, back, show2, bind, skip, show3, wxSignIn, show4, qqSignIn;
    const auto login = [this] { return ViewOn(Kind::RegisterLogin, kLoginPath); };
    const auto wx = [&] { return ViewOn(Kind::WeChatLogin, wxPath); };
    const auto qq = [&] { return ViewOn(Kind::QQLogin, qqPath); };
    const auto phone = [&] { return ViewOn(Kind::BindCellPhone, kBindPath + L"wx-7"); };
    const auto showWx = [&] {
        return WkCall({L"registerlogin", L"wechatloginshow", s_origin + wxPath});
    };
    Scenario s;
    Ask(s, "wechatloginshow", login, showWx, show1);
    Ask(s, "wechatclosewnd", wx, {L"thirdlogin", L"wechatclosewnd"}, back);
    Ask(s, "wechatloginshow again", login, showWx, show2);
    Ask(s, "bindcellphoneshowwx", wx, {L"registerlogin", L"bindcellphoneshowwx", L"wx-7"}, bind);
    Ask(s, "bindcellphoneclosewnd", phone, {L"registerlogin", L"bindcellphoneclosewnd"}, skip);
    s.Then(
        "nothing open",
        [] {
            return FindAccountWindow(Kind::BindCellPhone) == nullptr &&
                   FindAccountWindow(Kind::WeChatLogin) == nullptr;
        },
        [this] { QTimer::singleShot(0, [this] { OpenRegisterLoginWindow(m_main.get()); }); });
    Ask(s, "wechatloginshow third", login, showWx, show3);
    Ask(s, "wechatlogin", wx, {L"thirdlogin", L"wechatlogin", kRecord}, wxSignIn);
    s.Then(
        "WeChat closed", [] { return FindAccountWindow(Kind::WeChatLogin) == nullptr; },
        [this] { QTimer::singleShot(0, [this] { OpenRegisterLoginWindow(m_main.get()); }); });
    Ask(
        s, "qqloginshow", login,
        [&] {
            return WkCall({L"registerlogin", L"qqloginshow", s_origin + qqPath});
        },
        show4);
    Ask(s, "qqlogin", qq, {L"thirdlogin", L"qqlogin", kRecord}, qqSignIn);
    s.Then("QQ closed", [] { return FindAccountWindow(Kind::QQLogin) == nullptr; });
    EXPECT_EQ(s.Run([this] { OpenRegisterLoginWindow(m_main.get()); }), "");

    for (const auto& r : {show1, back, show2, bind, skip, show3, wxSignIn, show4, qqSignIn})
        EXPECT_EQ(r->value, L"S:0");
    EXPECT_EQ(m_main->signedIn.size(), 2u);
}

TEST_F(BridgeTest, NavigationPolicy) {
    // A stand-in desktop opener first in PATH records what it is given.
    const fs::path bin = m_folder / "bin";
    fs::create_directories(bin);
    const fs::path opened = m_folder / "opened.txt";
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << opened.string() << "'\n";
    }
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);

    App().loginPageUrl = s_origin + L"/links";
    const auto links = [] { return ViewOn(Kind::RegisterLogin, L"/links"); };
    const auto foreign = [] { return ViewOn(Kind::RegisterLogin, L"/foreign/links"); };
    // The script that clicks the element `id`.
    const auto click = [](const std::wstring& id) {
        return [id] { return L"document.getElementById('" + id + L"').click(); 'ok'"; };
    };
    std::shared_ptr<ScriptResult> r1, r2, r3, r4, r5, r6, r7;
    Scenario s;
    Ask(s, "file link", links, click(L"blankfile"), r1);
    Ask(s, "web link", links, click(L"blankweb"), r2);
    s.Then(
        "opener ran once",
        [&] {
            const std::string text = ReadText(opened);
            return std::count(text.begin(), text.end(), '\n') == 1;
        },
        [] {
            FindAccountWindow(Kind::RegisterLogin)->LoadPage(s_otherOrigin + L"/foreign/links");
        });
    // Another site's page opens nothing, neither by a link nor by script.
    Ask(s, "foreign link", foreign, click(L"blankweb"), r6);
    Ask(
        s, "foreign window.open", foreign,
        [] { return std::wstring(L"String(window.open('http://127.0.0.1:9/doc'))"); }, r7);
    s.Then(
        "foreign page done", [&] { return foreign() != nullptr; },
        [] { FindAccountWindow(Kind::RegisterLogin)->LoadPage(App().loginPageUrl); });
    Ask(s, "wontOpen link", links, click(L"wontopen"), r3);
    Ask(s, "self link", links, click(L"self"), r4);
    s.Then(
        "navigated in place",
        [] { return ViewOn(Kind::RegisterLogin, L"/self-target") != nullptr; },
        [] { FindAccountWindow(Kind::RegisterLogin)->LoadPage(App().loginPageUrl); });
    Ask(s, "named link", links, click(L"named"), r5);
    s.Then("named target in place",
           [] { return ViewOn(Kind::RegisterLogin, L"/named-target") != nullptr; });
    const std::string failed = s.Run([this] { OpenRegisterLoginWindow(m_main.get()); });
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(failed, "");
    EXPECT_EQ(r7->value, L"null");
    // Only the trusted page's web link reached the opener: not the local
    // file, not the other site's link, not "wontOpen".
    EXPECT_EQ(ReadText(opened), "http://127.0.0.1:9/doc\n");
}

// wkaction answers only pages of the account service's web host: a page of
// another origin in the same window gets undefined and changes nothing, also
// when the window reached it through a link.
TEST_F(BridgeTest, OtherOriginsGetUndefined) {
    const std::wstring otherPage = s_otherOrigin + L"/third-party";
    std::shared_ptr<ScriptResult> outside, outsideClose, inside;
    const auto foreign = [] { return ViewOn(Kind::RegisterLogin, L"/third-party"); };
    const auto login = [this] { return ViewOn(Kind::RegisterLogin, kLoginPath); };
    Scenario s;
    s.Then(
        "login page", [&] { return login() != nullptr; },
        [&] { FindAccountWindow(Kind::RegisterLogin)->LoadPage(otherPage); });
    Ask(s, "foreign autologinchk", foreign, {L"registerlogin", L"autologinchk", L"0"}, outside);
    Ask(s, "foreign closewnd", foreign, {L"registerlogin", L"closewnd"}, outsideClose);
    s.Then(
        "still open", [] { return FindAccountWindow(Kind::RegisterLogin) != nullptr; },
        [this] { FindAccountWindow(Kind::RegisterLogin)->LoadPage(Login()); });
    Ask(s, "trusted autologinchk", login, {L"registerlogin", L"autologinchk", L"0"}, inside);
    EXPECT_EQ(s.Run([this] { OpenRegisterLoginWindow(m_main.get()); }), "");

    EXPECT_EQ(outside->value, L"<undefined>");
    EXPECT_EQ(outsideClose->value, L"<undefined>");
    EXPECT_EQ(inside->value, L"S:0");
    EXPECT_FALSE(SaveSession());  // changed by the trusted page only
    EXPECT_EQ(AccountWebOrigin(), s_origin);
}

TEST_F(BridgeTest, UnregisteredViewGetsUndefined) {
    BindScriptBridge();
    auto host = platform::test::MakeHost(322, 471);
    platform::WebView* view = platform::WebView::Create(host.get(), 1, 30, 320, 440);
    ASSERT_NE(view, nullptr);
    view->LoadUrl(Login());
    ASSERT_TRUE(platform::test::WaitFor([&] { return view->PageTitle() == kLoginPath; }));
    EXPECT_EQ(platform::test::Evaluate(view, WkCall({L"app", L"ver"})), L"<undefined>");
    view->Destroy();
}

}  // namespace
}  // namespace kelsor::account::test
