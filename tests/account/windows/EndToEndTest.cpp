// The sign-in road against a kelsor-server of the test's own: the account
// windows load the service's pages, the user signs in on the page (the local
// service shows the SMS code), the session begins with real cloud
// credentials, a recognition succeeds and the saved session signs in again.
// Screenshots of the four windows go to build/screenshots/account.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <filesystem>
#include <regex>

#include "RenderText.h"
#include "WindowsTestSupport.h"
#include "account/Session.h"
#include "account/UserInfo.h"
#include "account/windows/AccountWindows.h"
#include "account/windows/AccountWnd.h"
#include "app/AppContext.h"
#include "cloud/RecognizePictureText.h"
#include "platform/web/WebView.h"
#include "server/process/ServerProcess.h"

namespace kelsor::account::test {
namespace {

// A condition that asks the page until `ok` holds for the script's value.
std::function<bool()> PageSays(std::function<platform::WebView*()> view, std::wstring script,
                               std::function<bool(const std::wstring&)> ok) {
    auto pending = std::make_shared<std::shared_ptr<ScriptResult>>();
    return [=] {
        platform::WebView* v = view();
        if (v == nullptr)
            return false;
        if (*pending && (*pending)->Ready()) {
            if (ok((*pending)->value))
                return true;
            pending->reset();
        }
        if (!*pending)
            *pending = EvalAsync(v, script);
        return false;
    };
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

void Screenshot(Kind kind, const std::string& name) {
    CAccountWnd* window = FindAccountWindow(kind);
    ASSERT_NE(window, nullptr);
    QDir().mkpath(KELSOR_SCREENSHOT_DIR);
    const QImage image = window->GetHWND()->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(
        QString::fromStdString(std::string(KELSOR_SCREENSHOT_DIR) + "/" + name + ".png")));
}

void Script(Kind kind, const std::wstring& script) {
    if (CAccountWnd* window = FindAccountWindow(kind); window && window->Web().view)
        window->Web().view->RunScript(script);
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("kelsor-acce2e-" + std::to_string(::getpid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "server");
        fs::create_directories(m_folder / "client");
        std::string error;
        ASSERT_TRUE(m_server.Start(KELSOR_SERVER_EXE,
                                   {"--data", (m_folder / "server").string(), "--cloud-port", "0",
                                    "--account-port", "0", "--engines", "1"},
                                   (m_folder / "server.log").string(), error))
            << error;
        ::setenv("KELSOR_CLOUD_DOMAIN",
                 (".localhost:" + std::to_string(m_server.CloudPort())).c_str(), 1);
        ::setenv("KELSOR_CLOUD_CA_FILE", m_server.CertificatePath().c_str(), 1);
        const std::wstring port = std::to_wstring(m_server.AccountPort());
        PrepareApp(L"http://web.kelsor.localhost:" + port, (m_folder / "client").string());
        App().autoLoginApiUrl = L"http://api.kelsor.localhost:" + port +
                                L"/api/v3/user/autologin/pro/ocr/ver/1.2.3.4/channel/10001";
        m_main = std::make_unique<TestMainWnd>();
    }
    void TearDown() override {
        m_main.reset();
        m_server.Stop();
        ::setenv("KELSOR_CLOUD_DOMAIN", ".localhost:1", 1);
        fs::remove_all(m_folder);
    }

    server::ServerProcess m_server;
    fs::path m_folder;
    std::unique_ptr<TestMainWnd> m_main;
};

TEST_F(EndToEndTest, SignInOnThePagesThenRecogniseAndSignInAgain) {
    const std::wstring mobile = L"13" + std::to_wstring(100000000 + ::getpid() % 899999999);
    const auto login = [] { return ViewOn(Kind::RegisterLogin, L"注册登录"); };
    const auto qq = [] { return ViewOn(Kind::QQLogin, L"QQ登录"); };
    const auto wx = [] { return ViewOn(Kind::WeChatLogin, L"微信登录"); };
    const auto phone = [] { return ViewOn(Kind::BindCellPhone, L"绑定手机"); };
    const auto text = [](const wchar_t* id) {
        return L"document.getElementById('" + std::wstring(id) + L"').textContent";
    };
    const auto about = [](const std::wstring& t) { return Contains(t, L"1.2.3.4"); };
    int quiet = 0;
    Scenario s;
    s.Then("login page with the program's version", PageSays(login, text(L"about"), about));
    s.Then("painted", After(500), [&] {
        Screenshot(Kind::RegisterLogin, "registerlogin");
        Script(Kind::RegisterLogin, L"document.getElementById('mobile').value = '" + mobile +
                                        L"'; document.getElementById('sendcode').click();");
    });
    s.Then("code shown", PageSays(login, text(L"code-hint"), [](const std::wstring& t) {
               return std::regex_search(t, std::wregex(L"\\d{6}"));
           }));
    s.Then("code painted", After(500), [] {
        Screenshot(Kind::RegisterLogin, "registerlogin-code");
        Script(Kind::RegisterLogin,
               L"document.getElementById('code-hint').click();"
               L"document.getElementById('submit').click();");
    });
    s.Then(
        "signed in, window closed",
        [] { return CurrentUser().loggedIn && FindAccountWindow(Kind::RegisterLogin) == nullptr; },
        [this] {
            EXPECT_TRUE(fs::exists(m_folder / "client" / "ud"));
            m_main->ui::CWindowWnd::PostMessage(WM_KSOCR_OPENLOGIN);
        });
    s.Then("login page again", PageSays(login, text(L"about"), about),
           [] { Script(Kind::RegisterLogin, L"document.getElementById('qqlogin').click();"); });
    s.Then("QQ page", PageSays(qq, text(L"product"), [](auto& t) { return t == L"KelsorOCR"; }));
    s.Then("QQ painted", After(500), [] {
        Screenshot(Kind::QQLogin, "qqlogin");
        CAccountWnd* window = FindAccountWindow(Kind::QQLogin);
        window->ClickControl(L"closebtn");
        EXPECT_FALSE(window->Web().view->IsShown());
    });
    s.Then("fresh login page after the QQ close button",
           [&] { return FindAccountWindow(Kind::QQLogin) == nullptr && login() != nullptr; });
    s.Then("its version", PageSays(login, text(L"about"), about),
           [] { Script(Kind::RegisterLogin, L"document.getElementById('wechatlogin').click();"); });
    s.Then("WeChat page", [&] { return wx() != nullptr; });
    s.Then("WeChat painted", After(700), [] {
        Screenshot(Kind::WeChatLogin, "wechatlogin");
        Script(Kind::WeChatLogin, L"document.getElementById('account').value = 'wx-e2e-" +
                                      std::to_wstring(::getpid()) +
                                      L"'; document.getElementById('authorize').click();");
    });
    s.Then("bind-phone page", [&] { return phone() != nullptr; });
    s.Then("bind painted", After(500), [] {
        EXPECT_EQ(FindAccountWindow(Kind::WeChatLogin), nullptr);
        Screenshot(Kind::BindCellPhone, "bindcellphone");
        FindAccountWindow(Kind::BindCellPhone)->ClickControl(L"closebtn");
    });
    s.Then("bind-phone closed", [] { return FindAccountWindow(Kind::BindCellPhone) == nullptr; });
    s.Then("and nothing reopens", [&] {
        EXPECT_EQ(FindAccountWindow(Kind::RegisterLogin), nullptr);
        return ++quiet > 50;
    });
    EXPECT_EQ(s.Run([this] { m_main->ui::CWindowWnd::SendMessage(WM_KSOCR_OPENLOGIN); }, 120000),
              "");

    ASSERT_TRUE(CurrentUser().loggedIn);
    EXPECT_EQ(CurrentUser().mobile, mobile);
    EXPECT_EQ(m_main->signedIn.front(), mobile);  // no nickname: the mobile
    const std::wstring userid = CurrentUser().userid;

    // The credentials from the page reach the cloud: a recognition succeeds.
    const fs::path picturePath = m_folder / "client" / "words.png";
    ASSERT_TRUE(
        kelsor::test::RenderTextPicture({"KELSOR 2026"}, 64, picturePath.string(), "DejaVu Sans"));
    const std::string recognised = RecognizePictureText(FormatPriority, picturePath.wstring());
    EXPECT_NE(recognised.find("KELSOR"), std::string::npos) << recognised;

    // A restart signs in from the saved session.
    CurrentUser() = UserInfo{};
    m_main->signedIn.clear();
    RestoreSession(*m_main);
    EXPECT_TRUE(CurrentUser().loggedIn);
    EXPECT_EQ(CurrentUser().userid, userid);
    EXPECT_EQ(m_main->signedIn.size(), 1u);
}

}  // namespace
}  // namespace kelsor::account::test
