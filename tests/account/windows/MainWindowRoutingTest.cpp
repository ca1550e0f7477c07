// The real main window routes the account windows: its login button opens the
// register/login window, a page signs in and the main window shows the user,
// the close buttons of the QQ and bind-phone windows come back through 2146
// and 2150, and a page's bind request through 2149.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QWidget>
#include <filesystem>

#include "WebTestSupport.h"
#include "WindowsTestSupport.h"
#include "account/UserInfo.h"
#include "account/windows/AccountWindows.h"
#include "account/windows/AccountWnd.h"
#include "app/AppContext.h"
#include "notices/CommonDlg.h"
#include "platform/ui/MainWindowRef.h"
#include "platform/web/WebView.h"
#include "shell/CMainWnd.h"

namespace kelsor::account::test {
namespace {

const std::wstring kRecord = UserRecord(L"9", L"小凯", L"13900139000");

class MainWindowRoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server = StartTestPages();
        m_folder = fs::temp_directory_path() / ("kelsor-accmain-" + std::to_string(::getpid()));
        fs::create_directories(m_folder / "bin");
        StartupInputs in;
        in.exeFolder = (m_folder / "bin").wstring() + L"/";
        in.desktopFolder = m_folder.wstring();
        in.appDataFolder = (m_folder / "data").wstring();
        in.siteHost = in.webHost = in.apiHost = L"127.0.0.1:9";
        ResetAppContext(App());
        BuildAppContext(App(), in);
        PrepareApp(L"http://web.kelsor.localhost:" + std::to_wstring(m_server->Port()),
                   (m_folder / "data").string());
        // Offscreen there is no X server to grab Ctrl+2 on: its notice is
        // confirmed; the account windows run as they are.
        ui::CWindowWnd::SetModalHook([](ui::CWindowWnd& window) {
            if (dynamic_cast<notices::CommonDlg*>(&window) != nullptr)
                window.Close(1);
        });
        m_main = new shell::CMainWnd();
        m_main->Create(nullptr, L"KelsorOCR文字识别", ui::UI_WNDSTYLE_DIALOG, ui::WS_EX_WINDOWEDGE);
    }
    void TearDown() override {
        if (ui::CWindowWnd* main = ui::GetMainWindow())
            delete main;
        ui::CWindowWnd::SetModalHook(nullptr);
        m_server.reset();
        fs::remove_all(m_folder);
    }

    ui::CControlUI* Control(const wchar_t* name) {
        return m_main->PaintManager().FindControl(name);
    }

    std::unique_ptr<LoopbackServer> m_server;
    fs::path m_folder;
    shell::CMainWnd* m_main = nullptr;
};

TEST_F(MainWindowRoutingTest, SignInAndWindowChangesGoThroughTheMainWindow) {
    const std::wstring qqPath = L"/qq";
    const std::wstring wxPath = L"/wx";
    const auto login = [] { return ViewOn(Kind::RegisterLogin, kLoginPath); };
    const auto qq = [&] { return ViewOn(Kind::QQLogin, qqPath); };
    const auto wx = [&] { return ViewOn(Kind::WeChatLogin, wxPath); };
    const auto phone = [] {
        return ViewOn(Kind::BindCellPhone,
                      L"/index/account/bindphone/pro/ocr/ver/1.2.3.4/channel/10001/uid/wx-3");
    };
    // A page of the stand-in site (its origin is the blank page's).
    const auto onSite = [](const std::wstring& path) {
        return App().blankPageUrl.substr(0, App().blankPageUrl.find(L"/index")) + path;
    };
    std::shared_ptr<ScriptResult> r1, r2, r3, r4;
    int quiet = 0;
    Scenario s;
    s.Then(
        "login page from loginbtn", [&] { return login() != nullptr; },
        [&] {
            r1 = EvalAsync(login(), WkCall({L"registerlogin", L"moblielogin", kRecord}));
        });
    s.Then(
        "signed in", [&] { return CurrentUser().loggedIn && r1->Ready(); },
        [&] {
            EXPECT_FALSE(Control(L"loginbtn")->IsVisible());
            EXPECT_TRUE(Control(L"nickname")->IsVisible());
            EXPECT_EQ(Control(L"nickname")->GetText(), L"小凯");
            m_main->ui::CWindowWnd::PostMessage(WM_KSOCR_OPENLOGIN);
        });
    s.Then(
        "login page from 2141", [&] { return login() != nullptr; },
        [&] {
            r2 = EvalAsync(login(), WkCall({L"registerlogin", L"qqloginshow", onSite(qqPath)}));
        });
    s.Then(
        "QQ page", [&] { return qq() != nullptr; },
        [] { FindAccountWindow(Kind::QQLogin)->ClickControl(L"closebtn"); });
    s.Then(
        "login page after 2146",
        [&] { return login() != nullptr && FindAccountWindow(Kind::QQLogin) == nullptr; },
        [&] {
            r3 = EvalAsync(login(), WkCall({L"registerlogin", L"wechatloginshow", onSite(wxPath)}));
        });
    s.Then(
        "WeChat page", [&] { return wx() != nullptr; },
        [&] {
            r4 = EvalAsync(wx(), WkCall({L"registerlogin", L"bindcellphoneshowwx", L"wx-3"}));
        });
    s.Then(
        "bind page after 2149", [&] { return phone() != nullptr; },
        [] { FindAccountWindow(Kind::BindCellPhone)->ClickControl(L"closebtn"); });
    s.Then("closed after 2150", [] { return FindAccountWindow(Kind::BindCellPhone) == nullptr; });
    s.Then("nothing reopens", [&] {
        EXPECT_EQ(FindAccountWindow(Kind::RegisterLogin), nullptr);
        return ++quiet > 30;
    });
    EXPECT_EQ(s.Run([this] { m_main->ClickControl(L"loginbtn"); }), "");
    for (const auto& r : {r1, r2, r3, r4})
        EXPECT_EQ(r ? r->value : L"<none>", L"S:0");
    EXPECT_TRUE(m_main->GetHWND()->isEnabled());
}

}  // namespace
}  // namespace kelsor::account::test
