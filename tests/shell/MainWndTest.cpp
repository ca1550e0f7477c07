#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "MainWndTestSupport.h"
#include "account/SessionFile.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "jobs/BatchFileItem.h"
#include "jobs/view/PictureCanvas.h"
#include "notices/CommonDlg.h"
#include "pages/BatchOCRWnd.h"
#include "pages/ScreenGrab.h"
#include "pages/ScreenOCRWnd.h"
#include "pages/SingleOCRView.h"
#include "pages/SingleOCRWnd.h"
#include "platform/sys/Ini.h"
#include "platform/sys/Messages.h"
#include "platform/ui/MainWindowRef.h"
#include "shell/CHotKeyWnd.h"
#include "shell/CMainMenuWnd.h"
#include "shell/CUserCenterInfoWnd.h"
#include "shell/ProgramMain.h"

using namespace kelsor;
using namespace kelsor::ui;
using kelsor::shelltest::RecordingMainWnd;
using kelsor::shelltest::WaitFor;
namespace fs = std::filesystem;

namespace kelsor::shelltest {
std::string SquarePng(int size, unsigned int argb) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(argb);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes.toStdString();
}
}  // namespace kelsor::shelltest

namespace {

// libcurl's global set-up, once, before any test starts a thread.
class HttpEnvironment : public ::testing::Environment {
public:
    void SetUp() override { InitHttpGlobal(); }
};
const auto* const kHttpEnvironment = ::testing::AddGlobalTestEnvironment(new HttpEnvironment);

void WriteScript(const std::string& path, const std::string& body) {
    kelsor::test::WriteFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
}

template <typename T = CControlUI>
T* Control(WindowImplBase& w, const wchar_t* name) {
    return dynamic_cast<T*>(w.PaintManager().FindControl(name));
}

class MainWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::EnsureApp();
        uitest::Warnings().clear();
        ModalSeam::Enable();
        ModalSeam::SetObserver([this](CWindowWnd& wnd) {
            if (auto* dlg = dynamic_cast<WindowImplBase*>(&wnd)) {
                if (CControlUI* text = dlg->PaintManager().FindControl(L"msgtext"))
                    notices.push_back(text->GetText());
            }
        });
        fs::create_directories(dir.file("bin"));
        fs::create_directories(dir.file("Desktop"));
        fs::create_directories(dir.file("fakebin"));
        // Documents, folders and pages "open" by leaving a line here.
        WriteScript(dir.file("fakebin/xdg-open"),
                    "echo \"$@\" >> '" + (dir.file("opened.txt")) + "'");
        m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", ((dir.file("fakebin")) + ":" + m_oldPath).c_str(), 1);

        shelltest::BuildContextIn(dir, L"site.test", api.Host(), api.Host());
        CurrentUser() = UserInfo{};
        SaveSession() = true;
        api.ServeAvatar(shelltest::SquarePng(40, 0xFF2E86F0));
    }
    void TearDown() override {
        if (CWindowWnd* main = GetMainWindow())
            delete main;
        QApplication::processEvents();
        setenv("PATH", m_oldPath.c_str(), 1);
        EXPECT_EQ(ModalSeam::UnansweredCount(), 0);
        EXPECT_TRUE(uitest::Warnings().isEmpty()) << uitest::Warnings().join("\n").toStdString();
        ModalSeam::Disable();
    }

    // The main window as the program creates it. Offscreen there is no X
    // server to grab Ctrl+2 on: no hot key, and no notice claiming it taken.
    RecordingMainWnd* Open() {
        auto* w = new RecordingMainWnd();
        w->Create(nullptr, L"KelsorOCR文字识别", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE);
        QApplication::processEvents();
        EXPECT_EQ(ModalSeam::PendingAnswers(), 0);
        return w;
    }

    void SignInBySession(const std::string& nickname, const std::string& mobile) {
        ASSERT_TRUE(WriteSessionFile(App().sessionFilePath, L"u1", L"t1"));
        api.AnswerAutoLogin(
            R"({"code":"200","data":{"sp":"1.0","userid":"u1","nickname":")" + nickname +
            R"(","mobile":")" + mobile + R"(","avatar":")" + api.AvatarUrl() +
            R"(","hwusername":"n","hwpassword":"p","hwdomainname":"d","hwregion":"r","token":"t2"}})");
    }

    std::string Opened() { return kelsor::test::ReadFile(dir.file("opened.txt")); }

    kelsor::test::TempFolder dir;
    kelsor::test::StandInAccountApi api;
    std::vector<std::wstring> notices;
    std::string m_oldPath;
};

TEST_F(MainWndTest, StartsOnTheSinglePageWithTheSourceFolderOptionAndNoHotKeyOffscreen) {
    RecordingMainWnd* w = Open();
    EXPECT_TRUE(notices.empty());
    EXPECT_FALSE(w->HotKeyRegistered());
    EXPECT_EQ(GetMainWindow(), w);
    EXPECT_EQ(w->GetClientRect().size(), QSize(1120, 720));
    EXPECT_EQ(w->CurrentPage(), 0);
    // The other pages wait for their first use.
    EXPECT_EQ(kelsor::jobs::GetBatchOCRPage(), nullptr);
    EXPECT_EQ(kelsor::jobs::GetScreenOCRPage(), nullptr);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(w->Page(i), nullptr);
        EXPECT_EQ(w->Page(i)->GetHWND()->geometry(), QRect(1, 94, 1118, 535));
        EXPECT_EQ(w->Page(i)->GetHWND()->isVisibleTo(w->GetHWND()), i == 0);
    }
    EXPECT_EQ(App().useCustomOutputFolder.load(), 0);
    EXPECT_EQ(Control(*w, L"ocrdirpath")->GetText(), dir.wide("Desktop") + L"/");
    for (const wchar_t* name : {L"ocrdirpath", L"changedirpathbtn", L"opendirpathbtn"})
        EXPECT_FALSE(Control(*w, name)->IsEnabled()) << name;
    EXPECT_FALSE(Control(*w, L"singleconvertbtn")->IsEnabled());
    EXPECT_TRUE(Control(*w, L"loginbtn")->IsVisible());
    EXPECT_FALSE(Control(*w, L"userhead")->IsVisible());
    EXPECT_FALSE(w->MainMenu()->GetHWND()->isVisible());
    EXPECT_FALSE(w->UserCenter()->GetHWND()->isVisible());
    // No session file: no auto-login request.
    EXPECT_EQ(api.AutoLoginCalls(), 0);
    EXPECT_EQ(w->Count(WM_KSOCR_AUTOLOGINREPLY), 0);
}

TEST_F(MainWndTest, OutputOptionsSetTheSharedValues) {
    RecordingMainWnd* w = Open();
    ASSERT_TRUE(w->ClickControl(L"customdirradio"));
    EXPECT_EQ(App().useCustomOutputFolder.load(), 1);
    for (const wchar_t* name : {L"ocrdirpath", L"changedirpathbtn", L"opendirpathbtn"})
        EXPECT_TRUE(Control(*w, name)->IsEnabled()) << name;

    fs::create_directories(dir.file("out"));
    FileDialog::SetNextFileNames({dir.wide("out")});
    ASSERT_TRUE(w->ClickControl(L"changedirpathbtn"));
    EXPECT_EQ(FileDialog::LastRequest().kind, FileDialog::Kind::Folder);
    EXPECT_EQ(App().customOutputFolder.get(), dir.wide("out") + L"/");
    EXPECT_EQ(Control(*w, L"ocrdirpath")->GetText(), dir.wide("out") + L"/");
    EXPECT_TRUE(Control<COptionUI>(*w, L"customdirradio")->IsSelected());

    ASSERT_TRUE(w->ClickControl(L"opendirpathbtn"));
    EXPECT_TRUE(WaitFor([&] { return Opened() == (dir.file("out/")) + "\n"; })) << Opened();

    // A picked folder that has gone by the time it is opened does nothing.
    fs::remove(dir.file("out"));
    ASSERT_TRUE(w->ClickControl(L"opendirpathbtn"));
    // A cancelled picker changes nothing.
    FileDialog::SetNextFileNames({});
    ASSERT_TRUE(w->ClickControl(L"changedirpathbtn"));
    EXPECT_EQ(App().customOutputFolder.get(), dir.wide("out") + L"/");

    ASSERT_TRUE(w->ClickControl(L"sourcedirradio"));
    EXPECT_EQ(App().useCustomOutputFolder.load(), 0);
    EXPECT_FALSE(Control(*w, L"changedirpathbtn")->IsEnabled());

    ASSERT_TRUE(w->ClickControl(L"editradio"));
    EXPECT_EQ(App().formatType.load(), 1);
    ASSERT_TRUE(w->ClickControl(L"formatradio"));
    EXPECT_EQ(App().formatType.load(), 0);
    QApplication::processEvents();
    EXPECT_EQ(Opened(), (dir.file("out/")) + "\n");
}

TEST_F(MainWndTest, PageTabsSwitchPagesAndStartRows) {
    RecordingMainWnd* w = Open();
    auto* ocrTab = Control<CTabLayoutUI>(*w, L"OCRTabModule");
    auto* convertTab = Control<CTabLayoutUI>(*w, L"ConvertTabModule");
    const std::pair<const wchar_t*, int> tabs[] = {
        {L"batchocropt", 1}, {L"screenocropt", 2}, {L"singleocropt", 0}};
    for (const auto& [option, index] : tabs) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(w->ClickControl(option));
        EXPECT_EQ(w->CurrentPage(), index);
        EXPECT_EQ(ocrTab->GetCurSel(), index);
        EXPECT_EQ(convertTab->GetCurSel(), index);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(w->Page(i)->GetHWND()->isVisibleTo(w->GetHWND()), i == index);
    }
}

TEST_F(MainWndTest, PageMessagesDriveTheStartRows) {
    RecordingMainWnd* w = Open();
    const struct {
        unsigned int first;
        const wchar_t *start, *running, *done;
    } rows[] = {{WM_KSOCR_SINGLE_NOPICTURE, L"singleconvertbtn", L"singleconverting",
                 L"singleconvertedbtn"},
                {WM_KSOCR_SCREEN_NOPICTURE, L"screenconvertbtn", L"screenconverting",
                 L"screenconvertedbtn"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        auto look = [&] {
            return std::array<bool, 4>{
                Control(*w, row.start)->IsVisible(), Control(*w, row.start)->IsEnabled(),
                Control(*w, row.running)->IsVisible(), Control(*w, row.done)->IsVisible()};
        };
        w->SendMessage(row.first + 1);
        EXPECT_EQ(look(), (std::array<bool, 4>{true, true, false, false}));
        w->SendMessage(row.first + 2);
        EXPECT_EQ(look(), (std::array<bool, 4>{false, false, true, false}));
        w->SendMessage(row.first + 3);
        EXPECT_EQ(look(), (std::array<bool, 4>{false, false, false, true}));
        w->SendMessage(row.first);
        EXPECT_EQ(look(), (std::array<bool, 4>{true, false, false, false}));
    }
    w->SendMessage(WM_KSOCR_BATCH_ENABLESTART);
    EXPECT_TRUE(Control(*w, L"batchconvertbtn")->IsEnabled());
    w->SendMessage(WM_KSOCR_BATCH_DISABLESTART);
    EXPECT_FALSE(Control(*w, L"batchconvertbtn")->IsEnabled());
    // Posted messages arrive the same way.
    w->PostMessage(WM_KSOCR_BATCH_ENABLESTART);
    EXPECT_TRUE(WaitFor([&] { return Control(*w, L"batchconvertbtn")->IsEnabled(); }));
}

TEST_F(MainWndTest, StartWhileSignedOutAsksForTheSignInWindow) {
    RecordingMainWnd* w = Open();
    w->SendMessage(WM_KSOCR_SINGLE_READY);
    ASSERT_TRUE(w->ClickControl(L"singleconvertbtn"));
    EXPECT_EQ(w->Count(WM_KSOCR_OPENLOGIN), 1);
    // The start did not go through: the row still offers the start.
    EXPECT_TRUE(Control(*w, L"singleconvertbtn")->IsVisible());
    w->SendMessage(WM_KSOCR_SCREEN_READY);
    ASSERT_TRUE(w->ClickControl(L"screenconvertbtn"));
    EXPECT_EQ(w->Count(WM_KSOCR_OPENLOGIN), 2);
}

TEST_F(MainWndTest, SavedSessionSignsInWithPictureAndMeasuredName) {
    SignInBySession("测试用户", "13900000000");
    RecordingMainWnd* w = Open();
    EXPECT_EQ(api.AutoLoginCalls(), 1);
    EXPECT_EQ(w->Count(WM_KSOCR_AUTOLOGINREPLY), 1);
    ASSERT_TRUE(CurrentUser().loggedIn);
    EXPECT_FALSE(Control(*w, L"loginbtn")->IsVisible());
    EXPECT_FALSE(Control(*w, L"loginicobtn")->IsVisible());
    auto* head = Control(*w, L"userhead");
    EXPECT_TRUE(head->IsVisible());
    EXPECT_EQ(head->GetBkImage().toStdWString(), App().avatarPath);
    EXPECT_EQ(kelsor::test::ReadFile(WideToAnsi(App().avatarPath)),
              shelltest::SquarePng(40, 0xFF2E86F0));

    auto* name = Control<CButtonUI>(*w, L"nickname");
    EXPECT_TRUE(name->IsVisible());
    EXPECT_EQ(name->GetText(), L"测试用户");
    const QSize text =
        CRenderEngine::GetTextSize(&w->PaintManager(), L"测试用户", name->GetFont(), 0);
    EXPECT_EQ(name->GetFixedWidth(),
              text.width() + name->GetTextPadding().left() + name->GetTextPadding().right());

    // Laid out, the transparent button lies exactly over the picture.
    w->ShowWindow(true);
    QApplication::processEvents();
    auto* button = Control(*w, L"userheadbtn");
    EXPECT_TRUE(button->IsVisible());
    EXPECT_EQ(button->GetPos(), head->GetPos());
    // The reply's token was saved for the next start.
    std::wstring userid, token;
    ASSERT_TRUE(ReadSessionFile(App().sessionFilePath, userid, token));
    EXPECT_EQ(token, L"t2");
}

TEST_F(MainWndTest, UserCentreShowsTheMobileForAnEmptyNicknameAndLogsOut) {
    SignInBySession("", "13900000000");
    RecordingMainWnd* w = Open();
    ASSERT_TRUE(CurrentUser().loggedIn);
    EXPECT_EQ(Control(*w, L"nickname")->GetText(), L"13900000000");
    w->ShowWindow(true);
    QApplication::processEvents();

    ASSERT_TRUE(w->ClickControl(L"nickname"));
    kelsor::shell::CUserCenterInfoWnd* centre = w->UserCenter();
    ASSERT_TRUE(centre->GetHWND()->isVisible());
    EXPECT_EQ(centre->GetWindowRect().topLeft(), w->ClientToScreen({746, 81}));
    EXPECT_EQ(centre->GetWindowRect().size(), QSize(260, 144));
    EXPECT_EQ(Control(*centre, L"nickname")->GetText(), L"13900000000");
    EXPECT_EQ(Control(*centre, L"userhead")->GetBkImage().toStdWString(), App().avatarPath);

    ASSERT_TRUE(centre->ClickControl(L"logoutbtn"));
    EXPECT_EQ(w->Count(WM_KSOCR_LOGGEDOUT), 1);
    EXPECT_FALSE(CurrentUser().loggedIn);
    EXPECT_TRUE(CurrentUser().userid.empty());
    EXPECT_FALSE(fs::exists(WideToAnsi(App().sessionFilePath)));
    EXPECT_TRUE(Control(*w, L"loginbtn")->IsVisible());
    EXPECT_FALSE(Control(*w, L"userhead")->IsVisible());
    EXPECT_FALSE(Control(*w, L"userheadbtn")->IsVisible());
    EXPECT_FALSE(Control(*w, L"nickname")->IsVisible());
    EXPECT_TRUE(Control(*w, L"nickname")->GetText().empty());
    // The centre of the user that was closes: it would show a name nobody
    // is signed in under.
    EXPECT_FALSE(centre->GetHWND()->isVisible());

    // Signed out again, a start asks for the sign-in window.
    w->SendMessage(WM_KSOCR_SINGLE_READY);
    ASSERT_TRUE(w->ClickControl(L"singleconvertbtn"));
    EXPECT_EQ(w->Count(WM_KSOCR_OPENLOGIN), 1);
}

TEST_F(MainWndTest, MainMenuOpensUnderItsButtonAndRunsItsActions) {
    WriteScript(dir.file("bin/KelsorOCRUpdate"),
                "echo \"updater:$*\" >> '" + (dir.file("opened.txt")) + "'");
    RecordingMainWnd* w = Open();
    w->ShowWindow(true);
    // Started with no arguments at initialisation.
    EXPECT_TRUE(WaitFor([&] { return Opened() == "updater:\n"; })) << Opened();

    kelsor::shell::CMainMenuWnd* menu = w->MainMenu();
    const std::pair<const wchar_t*, std::string> actions[] = {
        {L"checkupdatebtn", "updater:-KSOCRMAINMENU\n"},
        {L"officialsitebtn", "http://site.test\n"},
        {L"aboutusbtn", "http://site.test/about\n"}};
    std::string expected = Opened();
    for (const auto& [button, line] : actions) {
        SCOPED_TRACE(QString::fromWCharArray(button).toStdString());
        ASSERT_TRUE(w->ClickControl(L"menubtn"));
        ASSERT_TRUE(menu->GetHWND()->isVisible());
        EXPECT_EQ(menu->GetWindowRect(), QRect(w->ClientToScreen({961, 35}), QSize(150, 265)));
        ASSERT_TRUE(menu->ClickControl(button));
        EXPECT_FALSE(menu->GetHWND()->isVisible());
        expected += line;
        EXPECT_TRUE(WaitFor([&] { return Opened() == expected; })) << Opened();
    }
    // Focus loss hides it.
    ASSERT_TRUE(w->ClickControl(L"menubtn"));
    menu->SendMessage(WM_KILLFOCUS);
    EXPECT_FALSE(menu->GetHWND()->isVisible());
}

TEST(HotKeyNames, OnlyKnownKeysWithCtrlAltOrSuperAreCaptureKeys) {
    using shell::HotKey;
    const std::pair<const wchar_t*, std::optional<HotKey>> cases[] = {
        {L"ctrl + 2", HotKey{shell::kModCtrl, '2'}},
        {L" Ctrl+ALT+k ", HotKey{shell::kModCtrl | shell::kModAlt, 'k'}},
        {L"super + shift + f12", HotKey{shell::kModSuper | shell::kModShift, 0xffc9}},
        {L"alt + pageup", HotKey{shell::kModAlt, 0xff55}},
        {L"ctrl + ,", HotKey{shell::kModCtrl, ','}},
        {L"2", std::nullopt},
        {L"shift + a", std::nullopt},
        {L"ctrl + tab", std::nullopt},
        {L"hyper + a", std::nullopt},
        {L"ctrl +", std::nullopt},
        {L"ctrl + 2 + 3", std::nullopt},
        {L"", std::nullopt},
    };
    for (const auto& [text, key] : cases) {
        SCOPED_TRACE(QString::fromWCharArray(text).toStdString());
        const std::optional<HotKey> parsed = shell::ParseHotKey(text);
        EXPECT_EQ(parsed, key);
        if (parsed) {
            EXPECT_EQ(shell::ParseHotKey(shell::HotKeyName(*parsed)), parsed);  // round trip
        }
    }
    EXPECT_EQ(shell::HotKeyName({shell::kModSuper | shell::kModShift, 0xffc9}),
              L"shift + super + f12");
    EXPECT_EQ(notices::notice::HotKeyTakenText(shell::HotKeyName(shell::kDefaultHotKey)),
              notices::notice::kHotKeyTaken);
}

// Sends a key press to `w` and notes what its key field and tip line show.
void PressKey(WindowImplBase& w, int key, Qt::KeyboardModifiers modifiers,
              std::vector<std::wstring>& seen) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(w.GetHWND(), &press);
    seen.push_back(Control(w, L"hotkeyfield")->GetText() + L" | " +
                   Control(w, L"hotkeytip")->GetText());
}

TEST_F(MainWndTest, HotKeyWindowRecordsRefusesKeysWithoutModifierAndKeepsTheKeyWithoutX) {
    RecordingMainWnd* w = Open();
    EXPECT_EQ(w->HotKeyInUse(), shell::kDefaultHotKey);  // no key in the file
    std::vector<std::wstring> seen;
    ModalSeam::SetObserver([&](CWindowWnd& wnd) {
        auto& hk = dynamic_cast<shell::CHotKeyWnd&>(wnd);
        PressKey(hk, Qt::Key_2, Qt::NoModifier, seen);
        PressKey(hk, Qt::Key_A, Qt::ShiftModifier, seen);
        PressKey(hk, Qt::Key_Tab, Qt::ControlModifier, seen);
        PressKey(hk, Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier, seen);  // waits
        PressKey(hk, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, seen);
        // Offscreen there is no X server to hold it: said, and ctrl + 2 stays.
        ASSERT_TRUE(hk.ClickControl(L"hotkeyconfirmbtn"));
        PressKey(hk, Qt::Key_Shift, Qt::ShiftModifier, seen);
    });
    ModalSeam::SetNextAnswer(L"hotkeycancelbtn");
    ASSERT_TRUE(w->ClickControl(L"menubtn"));
    ASSERT_TRUE(w->MainMenu()->ClickControl(L"hotkeybtn"));
    EXPECT_FALSE(w->MainMenu()->GetHWND()->isVisible());
    ASSERT_TRUE(WaitFor([] { return ModalSeam::PendingAnswers() == 0; }));
    const std::wstring noModifier = L"ctrl + 2 | " + shell::CHotKeyWnd::NoModifierText();
    const std::wstring unknown = L"ctrl + 2 | " + shell::CHotKeyWnd::UnknownKeyText();
    EXPECT_EQ(seen, (std::vector<std::wstring>{noModifier, noModifier, unknown, unknown,
                                               L"ctrl + alt + k | ",
                                               L"ctrl + 2 | " + shell::CHotKeyWnd::NoX11Text()}));
    EXPECT_EQ(w->HotKeyInUse(), shell::kDefaultHotKey);
    EXPECT_EQ(platform::GetPrivateProfileString(L"KSOCRInfo", L"hotkey", L"-", App().configPath),
              L"-");
}

TEST_F(MainWndTest, ChosenHotKeyIsRememberedForTheNextStartBesideTheChannel) {
    std::vector<shell::HotKey> asked;
    {
        shell::CHotKeyWnd wnd(shell::kDefaultHotKey, [&](const shell::HotKey& key) {
            asked.push_back(key);
            return shell::GlobalHotKey::Result::kRegistered;
        });
        wnd.Create(nullptr, L"HotKeyWnd", UI_WNDSTYLE_DIALOG, 0);
        std::vector<std::wstring> seen;
        PressKey(wnd, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, seen);
        ASSERT_TRUE(wnd.ClickControl(L"hotkeyconfirmbtn"));
        EXPECT_FALSE(wnd.GetHWND()->isVisible());
        EXPECT_EQ(shell::HotKeyName(wnd.Current()), L"ctrl + shift + f5");
    }
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(shell::HotKeyName(asked[0]), L"ctrl + shift + f5");
    const std::string ini = kelsor::test::ReadFile(WideToAnsi(App().configPath));
    EXPECT_NE(ini.find("channel=10001"), std::string::npos) << ini;
    EXPECT_NE(ini.find("hotkey=ctrl + shift + f5"), std::string::npos) << ini;

    // The next start takes it; a value it cannot use gives ctrl + 2 again.
    RecordingMainWnd* w = Open();
    EXPECT_EQ(w->HotKeyInUse(), asked[0]);
    delete w;
    ASSERT_TRUE(platform::WritePrivateProfileString(L"KSOCRInfo", L"hotkey", L"shift + a",
                                                    App().configPath));
    w = Open();
    EXPECT_EQ(w->HotKeyInUse(), shell::kDefaultHotKey);

    // A settings file that cannot be written: the key is in use, and the
    // window says it will not be there at the next start.
    App().configPath = dir.wide("missing/config.ini");
    shell::CHotKeyWnd wnd(shell::kDefaultHotKey, [](const shell::HotKey&) {
        return shell::GlobalHotKey::Result::kRegistered;
    });
    wnd.Create(nullptr, L"HotKeyWnd", UI_WNDSTYLE_DIALOG, 0);
    std::vector<std::wstring> seen;
    PressKey(wnd, Qt::Key_K, Qt::AltModifier, seen);
    ASSERT_TRUE(wnd.ClickControl(L"hotkeyconfirmbtn"));
    EXPECT_TRUE(wnd.GetHWND()->isVisible());
    EXPECT_EQ(Control(wnd, L"hotkeytip")->GetText(), shell::CHotKeyWnd::NotSavedText());
    EXPECT_EQ(shell::HotKeyName(wnd.Current()), L"alt + k");
}

TEST_F(MainWndTest, AutoCopyOptionOfTheMainMenuSurvivesARestart) {
    // A settings file without the key: off.
    EXPECT_EQ(App().autoCopyScreenText.load(), 0);
    RecordingMainWnd* w = Open();
    auto* option = Control<COptionUI>(*w->MainMenu(), L"autocopyopt");
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->GetText(), L"截图识别后自动复制");
    ASSERT_TRUE(w->ClickControl(L"menubtn"));
    EXPECT_FALSE(option->IsSelected());
    ASSERT_TRUE(w->MainMenu()->ClickControl(L"autocopyopt"));
    EXPECT_FALSE(w->MainMenu()->GetHWND()->isVisible());
    EXPECT_EQ(App().autoCopyScreenText.load(), 1);
    EXPECT_NE(kelsor::test::ReadFile(WideToAnsi(App().configPath)).find("autocopy=1"),
              std::string::npos);
    delete w;

    // The next start reads it and the menu shows it chosen.
    const StartupInputs again = [&] {
        StartupInputs in;
        in.exeFolder = dir.wide("bin") + L"/";
        in.appDataFolder = dir.wide("data");
        return in;
    }();
    ResetAppContext(App());
    BuildAppContext(App(), again);
    EXPECT_EQ(App().autoCopyScreenText.load(), 1);
    EXPECT_EQ(App().channel, L"10001");
    w = Open();
    ASSERT_TRUE(w->ClickControl(L"menubtn"));
    EXPECT_TRUE(Control<COptionUI>(*w->MainMenu(), L"autocopyopt")->IsSelected());
    ASSERT_TRUE(w->MainMenu()->ClickControl(L"autocopyopt"));
    EXPECT_EQ(App().autoCopyScreenText.load(), 0);
    BuildAppContext(App(), again);
    EXPECT_EQ(App().autoCopyScreenText.load(), 0);
}

TEST_F(MainWndTest, CodeSwitchOfTheMainMenuIsOnAtFirstAndSurvivesARestart) {
    EXPECT_EQ(App().readCodes.load(), 1);  // no key in the settings file: on
    const StartupInputs again = [&] {
        StartupInputs in;
        in.exeFolder = dir.wide("bin") + L"/";
        in.appDataFolder = dir.wide("data");
        return in;
    }();
    for (const bool on : {false, true}) {
        RecordingMainWnd* w = Open();
        auto* option = Control<COptionUI>(*w->MainMenu(), L"readcodesopt");
        ASSERT_NE(option, nullptr);
        EXPECT_EQ(option->GetText(), L"识别二维码/条形码");
        ASSERT_TRUE(w->ClickControl(L"menubtn"));
        EXPECT_EQ(option->IsSelected(), !on);
        ASSERT_TRUE(w->MainMenu()->ClickControl(L"readcodesopt"));
        EXPECT_EQ(App().readCodes.load(), on ? 1 : 0);
        EXPECT_NE(kelsor::test::ReadFile(WideToAnsi(App().configPath))
                      .find(on ? "readcodes=1" : "readcodes=0"),
                  std::string::npos);
        delete w;
        // The next start reads it.
        ResetAppContext(App());
        BuildAppContext(App(), again);
        EXPECT_EQ(App().readCodes.load(), on ? 1 : 0);
    }
}

TEST_F(MainWndTest, StatisticsProgramHearsOfTheStart) {
    WriteScript(dir.file("bin/KelsorOCRStats"),
                "echo \"stats:$*\" >> '" + (dir.file("opened.txt")) + "'");
    Open();
    EXPECT_TRUE(WaitFor([&] { return Opened() == "stats:-KSOCRStartUp\n"; })) << Opened();
}

TEST_F(MainWndTest, DroppedFolderOnTheSinglePageIsRefusedOtherPagesIgnoreDrops) {
    RecordingMainWnd* w = Open();
    notices.clear();
    fs::create_directories(dir.file("pictures"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("pictures"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.file("a.png")))});
    ModalSeam::SetNextAnswer(L"msgconfirmbtn");
    // As a file manager's drag: entered, then dropped.
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->GetHWND(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->GetHWND(), &drop);
    EXPECT_EQ(notices, std::vector<std::wstring>{L"很抱歉，不支持拖入文件夹！"});
    // Nothing else changed: the page still has no picture.
    EXPECT_FALSE(Control(*w, L"singleconvertbtn")->IsEnabled());

    notices.clear();
    for (const wchar_t* tab : {L"batchocropt", L"screenocropt"}) {
        ASSERT_TRUE(w->ClickControl(tab));
        w->DropFiles({dir.wide("pictures")});
    }
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(ProcessBatchStore().Empty());
}

TEST_F(MainWndTest, DropsOnTheBatchPageAddPicturesAndItsStartButtonStartsTheList) {
    RecordingMainWnd* w = Open();
    notices.clear();
    fs::create_directories(dir.file("pictures/sub"));
    for (const char* name : {"pictures/sub/x.png", "c.png", "a.png", "b.png"})
        kelsor::test::WriteFile(dir.file(name), shelltest::SquarePng(8, 0xFF000000));
    ASSERT_TRUE(w->ClickControl(L"batchocropt"));
    w->DropFiles({dir.wide("pictures"), dir.wide("c.png")});
    w->DropFiles({dir.wide("c.png"), dir.wide("a.png"), dir.wide("b.png")});
    std::vector<std::wstring> names;
    for (const auto& [id, item] : ProcessBatchStore().All())
        names.push_back(item->fileName);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"x.png", L"c.png", L"a.png", L"b.png"}));
    EXPECT_TRUE(Control(*w, L"batchconvertbtn")->IsEnabled());
    // Signed out, the start button asks for the register/login window.
    ASSERT_TRUE(w->ClickControl(L"batchconvertbtn"));
    EXPECT_EQ(w->Count(WM_KSOCR_OPENLOGIN), 1);
    EXPECT_TRUE(notices.empty());
    ProcessBatchStore().Clear();
}

TEST_F(MainWndTest, DroppedPictureGoesToTheSinglePageAndTheWheelZoomsItOverThePictureOnly) {
    RecordingMainWnd* w = Open();
    w->ShowWindow(true);
    QImage picture(800, 400, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("a.png"))));
    w->DropFiles({dir.wide("a.png"), dir.wide("ignored.png")});
    EXPECT_EQ(w->Count(WM_KSOCR_SINGLE_READY), 1);
    EXPECT_TRUE(Control(*w, L"singleconvertbtn")->IsEnabled());
    jobs::SingleOCRWnd* page = jobs::GetSingleOCRPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->CurrentPicture(), dir.wide("a.png"));
    ASSERT_TRUE(page->IsMoveMode());
    QApplication::processEvents();
    auto scale = [&] {
        page->View()->Canvas().WaitForAnimation();
        return page->View()->Canvas().State().scale;
    };
    const double before = scale();
    auto wheel = [&](QPoint client, int delta) {
        const QPoint screen = w->ClientToScreen(client);
        w->SendMessage(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16,
                       MakeLParam(screen.x(), screen.y()));
    };
    // Outside the picture rectangle (the result area, the band's edge): nothing.
    wheel({700, 300}, 120);
    wheel({22, 300}, 120);
    EXPECT_EQ(scale(), before);
    // Over the picture: one notch in zooms in.
    wheel({300, 300}, 120);
    const double notch = scale();
    EXPECT_GT(notch, before);
    const double zoomed = notch;
    // Other pages: nothing.
    ASSERT_TRUE(w->ClickControl(L"batchocropt"));
    wheel({300, 300}, 120);
    EXPECT_EQ(scale(), zoomed);
    EXPECT_TRUE(notices.empty());
}

TEST_F(MainWndTest, HotKeyMessageStartsACaptureOnTheScreenPage) {
    RecordingMainWnd* w = Open();
    // The screen page is built by the first capture.
    EXPECT_EQ(kelsor::jobs::GetScreenOCRPage(), nullptr);
    QImage still(640, 480, QImage::Format_RGB32);
    still.fill(Qt::gray);
    kelsor::jobs::SetScreenGrabber([still] {
        return kelsor::jobs::ScreenGrab{still, QRect(0, 0, 640, 480)};
    });
    // The capture runs inside the message; Esc on its window ends it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&poll] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("ScreenShotWndClass") && top->isVisible()) {
                poll.stop();
                QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(top, &esc);
            }
        }
    });
    poll.start(10);
    w->SendMessage(WM_HOTKEY, 10000, 0);
    w->SendMessage(WM_HOTKEY, 10001, 0);  // some other hot key
    kelsor::jobs::SetScreenGrabber({});
    kelsor::jobs::ScreenOCRWnd* screen = kelsor::jobs::GetScreenOCRPage();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen, w->ScreenPage());
    EXPECT_EQ(screen->CapturesRun(), 1);
    EXPECT_TRUE(w->GetHWND()->isVisible());
}

TEST_F(MainWndTest, ConverterButtonComesBackWhenTheFetchWorkerEnds) {
    // An empty digest vouches for nothing: no install, and the worker's
    // message from its own thread brings the button back.
    api.AnswerSoftware(R"({"code":"200","data":{"sp":"1.0","pdfname":"c","pdfparam":"",)"
                       R"("pdfdlurl":")" +
                       api.AvatarUrl() + R"(","pdfmd5":""}})");
    RecordingMainWnd* w = Open();
    ASSERT_TRUE(w->ClickControl(L"pdfconvertbtn"));
    EXPECT_FALSE(Control(*w, L"pdfconvertbtn")->IsVisible());
    EXPECT_TRUE(Control(*w, L"pdfconvertgif")->IsVisible());
    EXPECT_TRUE(WaitFor([&] { return w->Count(WM_KSOCR_CONVERTERFETCHED) == 1; }));
    EXPECT_TRUE(Control(*w, L"pdfconvertbtn")->IsVisible());
    EXPECT_FALSE(Control(*w, L"pdfconvertgif")->IsVisible());
}

TEST_F(MainWndTest, CloseButtonDestroysTheWindowAndSystemCloseEndsTheModalRun) {
    RecordingMainWnd* w = Open();
    ASSERT_TRUE(w->ClickControl(L"closebtn"));
    EXPECT_TRUE(WaitFor([] { return GetMainWindow() == nullptr; }));

    RecordingMainWnd* second = Open();
    ModalSeam::Disable();  // the main window's own modal run is not a dialog
    second->PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(second->ShowModal(), 0);
    // The quit ended the run; the window is left to the end of the process.
    EXPECT_EQ(GetMainWindow(), second);
    EXPECT_NE(second->GetHWND(), nullptr);
    ModalSeam::Enable();
}

TEST(WriteSession, SavesTheDemoSessionLinesForTheNextStart) {
    kelsor::test::TempFolder dir;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    std::istringstream incomplete("userid 42\n");
    EXPECT_EQ(kelsor::shell::WriteSessionFromInput(incomplete), 2);
    std::istringstream input("userid 42\ntoken abc-def\n");
    EXPECT_EQ(kelsor::shell::WriteSessionFromInput(input), 0);
    std::wstring userid, token;
    ASSERT_TRUE(ReadSessionFile(dir.wide("KelsorOCR/ud"), userid, token));
    EXPECT_EQ(userid, L"42");
    EXPECT_EQ(token, L"abc-def");
    if (old != nullptr)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

}  // namespace
