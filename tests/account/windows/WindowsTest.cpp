// The four account windows offscreen: names, skins, view rectangles, the
// loading animation, the modal run with its disabled owner, and the close
// buttons with the main window's routing of 2146, 2148 and 2150.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <filesystem>

#include "WebTestSupport.h"
#include "WindowsTestSupport.h"
#include "account/windows/AccountWindows.h"
#include "account/windows/AccountWnd.h"
#include "account/windows/WebWindow.h"
#include "app/AppContext.h"
#include "notices/CommonDlg.h"
#include "platform/ui/MainWindowRef.h"
#include "platform/web/WebView.h"

namespace kelsor::account::test {
namespace {

class AccountWindowsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_server = StartTestPages(); }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("kelsor-accwnd-" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
        m_origin = L"http://web.kelsor.localhost:" + std::to_wstring(s_server->Port());
        PrepareApp(m_origin, m_folder.string());
        m_main = std::make_unique<TestMainWnd>();
    }
    void TearDown() override {
        m_main.reset();
        fs::remove_all(m_folder);
    }

    // What every window shows while it runs.
    void ExpectWindow(Kind kind, const wchar_t* className, const wchar_t* name, QSize size,
                      QRect viewRect, const wchar_t* webTitle) {
        CAccountWnd* window = FindAccountWindow(kind);
        ASSERT_NE(window, nullptr);
        QWidget* host = window->GetHWND();
        EXPECT_EQ(host->objectName().toStdWString(), className);
        EXPECT_EQ(host->windowTitle().toStdWString(), name);
        EXPECT_EQ(host->size(), size);
        EXPECT_TRUE(host->windowFlags().testFlag(Qt::Tool));  // no task-bar button
        EXPECT_EQ(window->Web().hostWindow->geometry(), viewRect);
        const WebViewBinding* binding = WebViewRegistry::Instance().FindLive(window->Web().view);
        ASSERT_NE(binding, nullptr);
        EXPECT_EQ(binding->title, webTitle);
        EXPECT_EQ(binding->window, window);
        // Centred over the main window's client area; the owner is disabled
        // while the window runs, the window itself is not.
        QWidget* owner = m_main->GetHWND();
        EXPECT_EQ(host->pos(), notices::CommonDlg::CentredPosition(
                                   QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size()), size));
        EXPECT_FALSE(owner->isEnabled());
        EXPECT_TRUE(host->isEnabled());
    }

    // Clicks the window's close button: its page goes at once.
    static void CloseByButton(Kind kind) {
        CAccountWnd* window = FindAccountWindow(kind);
        ASSERT_NE(window, nullptr);
        window->ClickControl(L"closebtn");
        EXPECT_FALSE(window->Web().view->IsShown());
    }

    static std::unique_ptr<LoopbackServer> s_server;
    std::wstring m_origin;
    fs::path m_folder;
    std::unique_ptr<TestMainWnd> m_main;
};

std::unique_ptr<LoopbackServer> AccountWindowsTest::s_server;

TEST_F(AccountWindowsTest, RegisterLoginWindowRunsModallyUntilItsCloseButton) {
    int code = -1;
    Scenario s;
    s.Then(
        "login page shown", [] { return ViewOn(Kind::RegisterLogin, kLoginPath) != nullptr; },
        [this] {
            ExpectWindow(Kind::RegisterLogin, L"注册登录页面", L"登录KelsorOCR", QSize(322, 471),
                         QRect(1, 30, 320, 440), L"RegisterLoginWnd");
            auto* window = dynamic_cast<CRegisterLoginWnd*>(FindAccountWindow(Kind::RegisterLogin));
            ASSERT_NE(window->Loading(), nullptr);
            EXPECT_EQ(window->Loading()->GetPadding(), QMargins(131, 205, 0, 0));
            EXPECT_FALSE(window->Loading()->IsVisible());  // hidden once the page is ready
            // The page's title replaces the web window title.
            EXPECT_EQ(window->Web().view->WindowTitle(), kLoginPath);
            window->ClickControl(L"closebtn");
        });
    s.Then("modal run returned", [&] { return code != -1; });
    EXPECT_EQ(s.Run([&] { code = OpenRegisterLoginWindow(m_main.get()); }), "");
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(m_main->GetHWND()->isEnabled());
    EXPECT_EQ(FindAccountWindow(Kind::RegisterLogin), nullptr);
}

TEST_F(AccountWindowsTest, LoadingAnimationUntilThePageIsReady) {
    // A login page that never answers keeps the animation up.
    App().loginPageUrl = L"http://127.0.0.1:9/never";
    App().blankPageUrl = L"http://127.0.0.1:9/never-blank";
    Scenario s;
    s.Then(
        "window open", [] { return FindAccountWindow(Kind::RegisterLogin) != nullptr; },
        [] {
            auto* window = dynamic_cast<CRegisterLoginWnd*>(FindAccountWindow(Kind::RegisterLogin));
            EXPECT_TRUE(window->Loading()->IsVisible());
            EXPECT_FALSE(window->Web().view->IsShown());
        });
    s.Then("painted", After(300), [] {
        QDir().mkpath(KELSOR_SCREENSHOT_DIR);
        EXPECT_TRUE(FindAccountWindow(Kind::RegisterLogin)
                        ->GetHWND()
                        ->grab()
                        .save(QStringLiteral(KELSOR_SCREENSHOT_DIR "/registerlogin-loading.png")));
    });
    int code = -1;
    EXPECT_EQ(s.Run([&] { code = OpenRegisterLoginWindow(m_main.get()); }), "");
    EXPECT_EQ(code, 1);  // closed by the driver's clean-up
}

TEST_F(AccountWindowsTest, QQCloseButtonReturnsToAFreshLoginWindow) {
    const std::wstring qqPath = L"/index/account/qqlogin/pro/ocr/ver/1.2.3.4/channel/10001";
    Scenario s;
    s.Then(
        "QQ page shown", [&] { return ViewOn(Kind::QQLogin, qqPath) != nullptr; },
        [&] {
            ExpectWindow(Kind::QQLogin, L"QQ登陆页面", L"QQ登录", QSize(670, 440),
                         QRect(10, 38, 650, 392), L"QQLoginWnd");
            CloseByButton(Kind::QQLogin);
            // The window waits for the main window.
            EXPECT_NE(FindAccountWindow(Kind::QQLogin), nullptr);
        });
    s.Then(
        "login page shown", [] { return ViewOn(Kind::RegisterLogin, kLoginPath) != nullptr; },
        [] { EXPECT_EQ(FindAccountWindow(Kind::QQLogin), nullptr); });
    EXPECT_EQ(s.Run([&] { OpenQQLoginWindow(m_main.get(), m_origin + qqPath); }), "");
    EXPECT_TRUE(m_main->Handled(2146u));
}

TEST_F(AccountWindowsTest, WeChatCloseButtonReturnsToTheLoginWindow) {
    const std::wstring wxPath = L"/index/account/wechatlogin/pro/ocr/ver/1.2.3.4/channel/10001";
    Scenario s;
    s.Then(
        "WeChat page shown", [&] { return ViewOn(Kind::WeChatLogin, wxPath) != nullptr; },
        [&] {
            ExpectWindow(Kind::WeChatLogin, L"微信登陆页面", L"微信登录", QSize(322, 471),
                         QRect(1, 30, 320, 440), L"WeChatLoginWnd");
            CloseByButton(Kind::WeChatLogin);
        });
    s.Then("login page shown", [] { return ViewOn(Kind::RegisterLogin, kLoginPath) != nullptr; });
    EXPECT_EQ(s.Run([&] { OpenWeChatLoginWindow(m_main.get(), m_origin + wxPath); }), "");
    EXPECT_TRUE(m_main->Handled(2148u));
}

TEST_F(AccountWindowsTest, BindPhoneCloseButtonReopensNothing) {
    const std::wstring bindPath =
        L"/index/account/bindphone/pro/ocr/ver/1.2.3.4/channel/10001/uid/qq-1";
    App().bindPhoneTargetUrl.set(m_origin + bindPath);
    int code = -1;
    int quietChecks = 0;
    Scenario s;
    s.Then(
        "bind page shown", [&] { return ViewOn(Kind::BindCellPhone, bindPath) != nullptr; },
        [&] {
            ExpectWindow(Kind::BindCellPhone, L"绑定手机页面", L"绑定手机号", QSize(322, 471),
                         QRect(1, 30, 320, 440), L"BindCellPhoneWnd");
            FindAccountWindow(Kind::BindCellPhone)->ClickControl(L"closebtn");
        });
    s.Then("modal run returned", [&] { return code != -1; });
    // Nothing opens afterwards.
    s.Then("still nothing open", [&] {
        EXPECT_EQ(FindAccountWindow(Kind::RegisterLogin), nullptr);
        return ++quietChecks > 30;
    });
    EXPECT_EQ(s.Run([&] { code = OpenBindCellPhoneWindow(m_main.get()); }), "");
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(m_main->Handled(2150u));
}

TEST_F(AccountWindowsTest, MainWindowMessagesAndCloseCodes) {
    Scenario s;
    s.Then(
        "login open via 2141", [] { return ViewOn(Kind::RegisterLogin, kLoginPath) != nullptr; },
        [] {
            // A second 2141 while it runs opens no second window.
            ui::GetMainWindow()->PostMessage(WM_KSOCR_OPENLOGIN, 0, 0);
        });
    s.Then(
        "second 2141 handled",
        [this] { return std::count(m_main->handled.begin(), m_main->handled.end(), 2141u) == 2; },
        [] { FindAccountWindow(Kind::RegisterLogin)->Close(7); });
    s.Then("closed", [] { return FindAccountWindow(Kind::RegisterLogin) == nullptr; });
    s.Do("close with nothing open", [] { CloseAccountWindow(Kind::QQLogin); });
    EXPECT_EQ(s.Run([&] { m_main->ui::CWindowWnd::SendMessage(WM_KSOCR_OPENLOGIN); }), "");
    EXPECT_EQ(FindAccountWindow(Kind::RegisterLogin), nullptr);
}

}  // namespace
}  // namespace kelsor::account::test
