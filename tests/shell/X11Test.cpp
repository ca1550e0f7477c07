#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "LocalService.h"
#include "MainWndTestSupport.h"
#include "X11Clipboard.h"
#include "X11TestSupport.h"
#include "app/AppContext.h"
#include "pages/ScreenOCRWnd.h"
#include "pages/SingleOCRView.h"
#include "pages/SingleOCRWnd.h"
#include "platform/sys/Ini.h"
#include "platform/ui/MainWindowRef.h"
#include "shell/CHotKeyWnd.h"
#include "skin/SkinData.h"

// The hot key and the second start need a real X server: each test runs
// its own Xvfb.
using namespace kelsor;
using namespace kelsor::ui;
using kelsor::shelltest::BuildContextIn;
using kelsor::shelltest::GrabCtrl2;
using kelsor::shelltest::GrabKey;
using kelsor::shelltest::WaitFor;
namespace fs = std::filesystem;

namespace {

shell::CMainWnd* OpenMainWindow() {
    auto* w = new shell::CMainWnd();
    w->Create(nullptr, L"KelsorOCR文字识别", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE);
    QApplication::processEvents();
    return w;
}

// Presses `keys` (xdotool's names) and ends with Esc the capture they
// start; true once that capture ran on the screen page.
bool PressStartsACapture(const char* keys) {
    // The first capture builds the screen page.
    jobs::ScreenOCRWnd* screen = jobs::GetScreenOCRPage();
    const int before = screen != nullptr ? screen->CapturesRun() : 0;
    std::thread user([] {
        std::system(
            "timeout 30 xdotool search --sync --name '^ScreenShotWnd$' >/dev/null; "
            "xdotool key Escape");
    });
    const bool pressed = std::system((std::string("xdotool key ") + keys).c_str()) == 0;
    const bool ran = WaitFor([&] {
        screen = jobs::GetScreenOCRPage();
        return screen != nullptr && screen->CapturesRun() == before + 1 && !screen->IsCapturing();
    });
    user.join();
    return pressed && ran;
}

// The program's main window tests: a fresh profile, the application and the
// modal seam, on a private X server.
class MainWndX11 : public ::testing::Test {
protected:
    void SetUp() override {
        START_PRIVATE_X();
        BuildContextIn(dir);
        uitest::EnsureApp();
        ModalSeam::Enable();
    }
    void TearDown() override {
        ModalSeam::SetObserver(nullptr);
        ModalSeam::Disable();
    }
    kelsor::test::TempFolder dir;
};

TEST_F(MainWndX11, CtrlTwoIsHeldByTheMainWindowAndStartsACapture) {
    shell::CMainWnd* w = OpenMainWindow();
    ASSERT_TRUE(w->HotKeyRegistered());
    EXPECT_EQ(ModalSeam::UnansweredCount(), 0);  // no notice

    // While the window lives no other program gets the key.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    EXPECT_FALSE(GrabCtrl2(other));

    // Ctrl+2 starts a capture; Esc ends it.
    EXPECT_TRUE(PressStartsACapture("ctrl+2"));
    jobs::ScreenOCRWnd* screen = jobs::GetScreenOCRPage();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(std::system("xdotool key 2 ctrl+3"), 0);  // other keys are not ours
    QApplication::processEvents();
    EXPECT_EQ(screen->CapturesRun(), 1);

    // A real wheel turn over the picture: the view under the pointer lets it
    // through to the main window, which zooms the picture.
    QImage picture(800, 400, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("a.png"))));
    w->DropFiles({dir.wide("a.png")});
    w->ShowWindow(true);
    jobs::SingleOCRWnd* page = jobs::GetSingleOCRPage();
    ASSERT_NE(page, nullptr);
    auto scale = [&] {
        page->View()->Canvas().WaitForAnimation();
        return page->View()->Canvas().State().scale;
    };
    ASSERT_TRUE(WaitFor([&] { return w->GetHWND()->isVisible(); }));
    const double before = scale();
    const QPoint over = w->ClientToScreen({300, 300});
    const std::string turn = "xdotool mousemove " + std::to_string(over.x()) + " " +
                             std::to_string(over.y()) + " click 4";
    ASSERT_EQ(std::system(turn.c_str()), 0);
    EXPECT_TRUE(WaitFor([&] { return scale() > before; }));

    // Gone with the window.
    delete w;
    QApplication::processEvents();
    EXPECT_TRUE(GrabCtrl2(other));
    xcb_disconnect(other);
}

// Another program holds the capture key at start (Ctrl+2, or the key the
// user chose): the notice names it and the window works on without it.
TEST_F(MainWndX11, CaptureKeyTakenAtStartIsNamedInTheNotice) {
    struct Case {
        std::optional<shell::HotKey> saved;
        xcb_keysym_t key;
        std::uint16_t modifiers;
        const wchar_t* notice;
    };
    const Case cases[] = {
        {std::nullopt, '2', XCB_MOD_MASK_CONTROL, L"ctrl + 2 被占用！"},
        {shell::HotKey{shell::kModCtrl | shell::kModAlt, 'j'}, 'j',
         XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, L"ctrl + alt + j 被占用！"},
    };
    std::vector<std::wstring> notices;
    ModalSeam::SetObserver([&](CWindowWnd& wnd) {
        auto& dlg = dynamic_cast<WindowImplBase&>(wnd);
        notices.push_back(dlg.PaintManager().FindControl(L"msgtext")->GetText());
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromWCharArray(c.notice).toStdString());
        kelsor::test::TempFolder profile;
        BuildContextIn(profile);
        if (c.saved) {
            ASSERT_TRUE(shell::SaveHotKey(App().configPath, *c.saved));
        }
        xcb_connection_t* other = xcb_connect(nullptr, nullptr);
        ASSERT_EQ(xcb_connection_has_error(other), 0);
        ASSERT_TRUE(GrabKey(other, c.key, c.modifiers));
        notices.clear();
        ModalSeam::SetNextAnswer(L"msgconfirmbtn");
        shell::CMainWnd* w = OpenMainWindow();
        EXPECT_FALSE(w->HotKeyRegistered());
        EXPECT_EQ(notices, std::vector<std::wstring>{c.notice});
        EXPECT_NE(w->Page(2), nullptr);
        delete w;
        xcb_disconnect(other);
    }
}

TEST_F(MainWndX11, ChosenKeyTakenMeanwhileIsRefusedAndAFreeOneReplacesCtrlTwo) {
    shell::CMainWnd* w = OpenMainWindow();
    ASSERT_TRUE(w->HotKeyRegistered());
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);

    std::vector<std::wstring> seen;  // the key field and tip line after each step
    ModalSeam::SetObserver([&](CWindowWnd& wnd) {
        auto& hk = dynamic_cast<shell::CHotKeyWnd&>(wnd);
        auto text = [&](const wchar_t* name) {
            return hk.PaintManager().FindControl(name)->GetText();
        };
        auto keys = [&](const char* combo, const wchar_t* shown) {
            std::system((std::string("xdotool key ") + combo).c_str());
            WaitFor([&] { return text(L"hotkeyfield") == shown; });
            seen.push_back(text(L"hotkeyfield") + L" | " + text(L"hotkeytip"));
        };
        // It takes the keyboard focus by itself.
        EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == hk.GetHWND(); }));
        // Recorded by the key, not by the symbol Shift gives it ("#").
        keys("ctrl+shift+3", L"ctrl + shift + 3");
        // Another program takes it before 确定: refused, ctrl + 2 stays.
        EXPECT_TRUE(GrabKey(other, '3', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT));
        ASSERT_TRUE(hk.ClickControl(L"hotkeyconfirmbtn"));
        seen.push_back(text(L"hotkeyfield") + L" | " + text(L"hotkeytip"));
        keys("ctrl+alt+k", L"ctrl + alt + k");
        ASSERT_TRUE(hk.ClickControl(L"hotkeyconfirmbtn"));  // held: the window closes
    });
    ModalSeam::SetNextAnswer(L"");
    w->OpenHotKeyWindow();
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"ctrl + shift + 3 | ",
                                               L"ctrl + 2 | ctrl + shift + 3 被占用！",
                                               L"ctrl + alt + k | "}));
    EXPECT_EQ(shell::HotKeyName(w->HotKeyInUse()), L"ctrl + alt + k");
    EXPECT_EQ(platform::GetPrivateProfileString(L"KSOCRInfo", L"hotkey", L"", App().configPath),
              L"ctrl + alt + k");

    // The new key is the program's, Ctrl+2 is free again, and only the new
    // key starts a capture.
    EXPECT_FALSE(GrabKey(other, 'k', XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));
    EXPECT_TRUE(PressStartsACapture("ctrl+alt+k"));
    ASSERT_EQ(std::system("xdotool key ctrl+2"), 0);
    QApplication::processEvents();
    EXPECT_EQ(jobs::GetScreenOCRPage()->CapturesRun(), 1);
    EXPECT_TRUE(GrabCtrl2(other));
    delete w;
    xcb_disconnect(other);
}

// Stacking position of `window` among the root's children (bottom first).
int StackIndex(xcb_connection_t* c, xcb_window_t window) {
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    int index = -1;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
        if (children[i] == window)
            index = i;
    }
    std::free(tree);
    return index;
}

// `settings` come first, so they win over the same names further on.
pid_t StartProgram(const kelsor::test::TempFolder& dir, const std::string& out,
                   std::vector<std::string> settings = {}, const char* argument = nullptr) {
    return kelsor::shelltest::StartProgramIn(KELSOR_PROGRAM_PATH, dir.file(""), out,
                                             std::move(settings), argument);
}

// Whether `pid` has a child that is one of the web engine's helper processes
// (they start with the engine's profile).
bool HasWebEngineHelper(pid_t pid) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;  // not a process
        const std::string stat = kelsor::test::ReadFile(entry.path().string() + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos || stat.find("QtWebEngine") > close)
            continue;
        // After the name: the state, then the parent's id.
        if (std::atoi(stat.c_str() + close + 4) == pid)
            return true;
    }
    return false;
}

int WaitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The centre of the control `name` in a layout of the skin, in the
// coordinates of its window.
QPoint LayoutControlCentre(const wchar_t* layout, const char* name) {
    kelsor::skin::Install();
    std::function<std::optional<QRect>(const kelsor::ui::MarkupNode&)> find =
        [&](const kelsor::ui::MarkupNode& node) -> std::optional<QRect> {
        if (node.Attribute("name") == QLatin1String(name))
            return kelsor::ui::ParseLtrb(node.Attribute("pos"));
        for (const auto& child : node.children) {
            if (auto pos = find(child))
                return pos;
        }
        return std::nullopt;
    };
    const auto tree = kelsor::ui::LoadLayout(QString::fromWCharArray(layout));
    const std::optional<QRect> pos = tree ? find(*tree) : std::nullopt;
    EXPECT_TRUE(pos) << name << " has no position in the layout";
    return pos ? pos->center() : QPoint();
}

// Clicks the centre of control `name` of the main window's layout.
void ClickMainWindowControl(xcb_window_t window, const char* name) {
    const QPoint at = LayoutControlCentre(L"mainwnd.xml", name);
    const std::string click = "xdotool mousemove --window " + std::to_string(window) + " " +
                              std::to_string(at.x()) + " " + std::to_string(at.y()) + " click 1";
    ASSERT_EQ(std::system(click.c_str()), 0);
}

xcb_window_t WaitForWindow(const std::string& title) {
    xcb_window_t window = 0;
    WaitFor(
        [&] {
            const std::string id = kelsor::test::ShellOutput("xdotool search --name '^" + title +
                                                             "$' 2>/dev/null | head -1");
            window = static_cast<xcb_window_t>(std::strtoul(id.c_str(), nullptr, 10));
            return window != 0;
        },
        std::chrono::minutes(1));
    return window;
}

TEST_F(MainWndX11, CopiedResultIsOnTheXClipboardForOtherPrograms) {
    shell::CMainWnd* w = OpenMainWindow();
    jobs::SingleOCRWnd* page = jobs::GetSingleOCRPage();
    ASSERT_NE(page, nullptr);
    w->ShowWindow(true);
    QImage picture(480, 200, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 28));
    painter.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("复制的文字\nsecond line"));
    painter.end();
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("p.png"))));
    page->SetPicture(dir.wide("p.png"));
    page->SetRecognizer(
        [](int, const std::wstring&) { return std::string("复制的文字\r\nsecond line"); });
    page->StartRecognition();
    ASSERT_TRUE(
        WaitFor([&] { return page->PaintManager().FindControl(L"copytextbtn")->IsVisible(); }));

    ASSERT_TRUE(page->ClickControl(L"copytextbtn"));
    const auto pump = [] { QApplication::processEvents(); };
    EXPECT_EQ(kelsor::shelltest::ReadX11Clipboard(pump), "复制的文字\nsecond line");
    // For a person to look at: the page with its copy button and confirmation.
    QApplication::processEvents();
    std::system(
        ("import -window root '" + std::string(KELSOR_SCREENSHOT_DIR) + "/single_page_copied.png'")
            .c_str());
    delete w;
}

TEST(ProgramX11, SecondStartBringsTheRunningWindowToTheFrontAndExitsZero) {
    START_PRIVATE_X();
    kelsor::test::TempFolder dir;
    fs::create_directories(dir.file("run"));
    chmod((dir.file("run")).c_str(), 0700);
    pid_t first = StartProgram(dir, dir.file("first.out"));
    ASSERT_GT(first, 0);
    const xcb_window_t mainWindow = WaitForWindow("KelsorOCR文字识别");
    ASSERT_NE(mainWindow, 0u) << kelsor::test::ReadFile(dir.file("first.out"));
    EXPECT_TRUE(fs::exists(dir.file("data/KelsorOCR/config.ini")));

    // Another window covers it.
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t cover = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, cover, screen->root, 0, 0, 1280, 900, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(c, cover);
    xcb_flush(c);
    ASSERT_TRUE(WaitFor([&] { return StackIndex(c, cover) > StackIndex(c, mainWindow); }));

    pid_t second = StartProgram(dir, dir.file("second.out"));
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitExit(second), 0);
    EXPECT_TRUE(WaitFor([&] { return StackIndex(c, mainWindow) > StackIndex(c, cover); }))
        << "the running window did not come to the front";

    // "KelsorOCR --capture" (a desktop's shortcut, the launcher's action)
    // starts a capture in the running one; Esc ends it.
    second = StartProgram(dir, dir.file("capture.out"), {}, "--capture");
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitExit(second), 0);
    EXPECT_EQ(std::system("timeout 30 xdotool search --sync --onlyvisible --name '^ScreenShotWnd$' "
                          ">/dev/null && sleep 0.3 && xdotool key Escape"),
              0)
        << kelsor::test::ReadFile(dir.file("first.out"));
    EXPECT_TRUE(WaitFor([&] { return StackIndex(c, mainWindow) > StackIndex(c, cover); }))
        << "the main window did not come back after the capture";

    // A start that opened no account window has not started the web engine,
    // nor even mapped its library; one that opened no picture has not mapped
    // the picture library.
    EXPECT_FALSE(HasWebEngineHelper(first));
    const std::string maps = kelsor::test::ReadFile("/proc/" + std::to_string(first) + "/maps");
    EXPECT_EQ(maps.find("libQt6WebEngine"), std::string::npos);
    EXPECT_EQ(maps.find("libfreeimage"), std::string::npos);

    // Its close button ends the program with code 0.
    ClickMainWindowControl(mainWindow, "closebtn");
    pid_t ended = 0;
    int status = 0;
    WaitFor(
        [&] {
            ended = waitpid(first, &status, WNOHANG);
            return ended != 0;
        },
        std::chrono::seconds(30));
    if (ended == 0) {
        kill(first, SIGKILL);
        WaitExit(first);
        FAIL() << "the close button did not end the program\n"
               << kelsor::test::ReadFile(dir.file("first.out"));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << kelsor::test::ReadFile(dir.file("first.out"));
    xcb_disconnect(c);
}

TEST(ProgramX11, PdfConverterButtonInstallsTheConverterAndTheNextClickStartsIt) {
    START_PRIVATE_X();
    kelsor::test::TempFolder dir;
    fs::create_directories(dir.file("run"));
    chmod((dir.file("run")).c_str(), 0700);
    kelsor::test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.Start(KELSOR_SERVER_EXE, dir.file("server"), dir.file("server.log"),
                              {"--engine", "tesseract", "--engines", "1"}, error))
        << error;
    const pid_t client = StartProgram(
        dir, dir.file("client.out"),
        {"KELSOR_API_HOST=api.kelsor.localhost:" + std::to_string(service.AccountPort())});
    ASSERT_GT(client, 0);
    const xcb_window_t main = WaitForWindow("KelsorOCR文字识别");
    ASSERT_NE(main, 0u) << kelsor::test::ReadFile(dir.file("client.out"));

    // On a fresh data folder the first click fetches and installs it.
    ClickMainWindowControl(main, "pdfconvertbtn");
    const std::string converter = dir.file("data/KelsorPDFConver/KelsorPDFConver");
    ASSERT_TRUE(WaitFor([&] { return fs::exists(dir.file("data/KelsorPDFConver/uninst")); },
                        std::chrono::minutes(1)))
        << kelsor::test::ReadFile(dir.file("client.out"));
    EXPECT_TRUE(fs::exists(converter));

    // Once the button is back, the next click starts it and its window appears.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ClickMainWindowControl(main, "pdfconvertbtn");
    EXPECT_NE(WaitForWindow("KelsorOCR PDF转换器"), 0u)
        << kelsor::test::ReadFile(dir.file("client.out"));

    kelsor::test::Shell("pkill -f '" + converter + "'");
    kill(client, SIGTERM);
    WaitExit(client);
}

}  // namespace
