// The program as a user meets it on an X desktop: bare Xvfb, or the window
// manager KELSOR_TEST_WM runs on it (the same tests are registered once per
// manager). Ctrl+2 whatever state the main window is in, a capture that
// always ends and leaves the desktop usable, the tray icon drawn in a real
// X tray with its menu, and a notice that keeps Enter and Esc after its
// owner is clicked.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QWindow>
#include <filesystem>
#include <optional>
#include <thread>

#include "MainWndTestSupport.h"
#include "X11TestSupport.h"
#include "notices/CommonDlg.h"
#include "platform/ui/Dialogs.h"

using namespace kelsor;
using kelsor::shelltest::PollFor;
namespace fs = std::filesystem;

namespace {

constexpr const char* kMainTitle = "KelsorOCR文字识别";
constexpr QSize kMainSize(1120, 720);

std::string ShellLine(const std::string& command) {
    return kelsor::test::ShellOutput(command + " 2>/dev/null");
}

// The first visible window whose title is exactly `title`; 0 when none.
xcb_window_t VisibleWindow(const std::string& title) {
    const std::string id =
        ShellLine("xdotool search --onlyvisible --name '^" + title + "$' | head -1");
    return static_cast<xcb_window_t>(std::strtoul(id.c_str(), nullptr, 10));
}

// A window's place on the screen (its top-left corner in root coordinates)
// and size, while it is viewable; nothing when it is not.
std::optional<QRect> Viewable(xcb_connection_t* c, xcb_window_t window) {
    auto* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool viewable = attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!viewable || geometry == nullptr) {
        std::free(geometry);
        return std::nullopt;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* at = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, 0, 0),
                                               nullptr);
    QRect rect(at != nullptr ? at->dst_x : 0, at != nullptr ? at->dst_y : 0, geometry->width,
               geometry->height);
    std::free(at);
    std::free(geometry);
    return rect;
}

// Whether another program can have the keyboard and the pointer now: no
// window of ours holds them, the desktop answers the user.
bool DesktopIsFree(xcb_connection_t* c) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* keyboard = xcb_grab_keyboard_reply(
        c,
        xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    const bool keys = keyboard != nullptr && keyboard->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(keyboard);
    auto* pointer = xcb_grab_pointer_reply(
        c,
        xcb_grab_pointer(c, 0, root, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                         XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr);
    const bool mouse = pointer != nullptr && pointer->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(pointer);
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    return keys && mouse;
}

// The program's visible windows (main window, tray icon, menus).
std::vector<xcb_window_t> ProgramWindows() {
    std::vector<xcb_window_t> windows;
    const QStringList lines =
        QString::fromStdString(ShellLine("xdotool search --onlyvisible --class KelsorOCR"))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines)
        windows.push_back(static_cast<xcb_window_t>(line.toULong()));
    return windows;
}

std::string Screenshot(const std::string& name) {
    const std::string path = std::string(KELSOR_SCREENSHOT_DIR) + "/" + name;
    kelsor::test::Shell("import -window root '" + path + "'");
    return path;
}

// The running program on the private desktop. A capture started on another
// workspace than the main window's brings the main window to the user's.
class DesktopX11 : public ::testing::Test {
protected:
    void SetUp() override {
        START_PRIVATE_X();
        fs::create_directories(dir.file("run"));
        chmod(dir.file("run").c_str(), 0700);
        c = xcb_connect(nullptr, nullptr);
        ASSERT_EQ(xcb_connection_has_error(c), 0);
    }
    void TearDown() override {
        if (program > 0) {
            kill(program, SIGTERM);
            waitpid(program, nullptr, 0);
        }
        if (c != nullptr)
            xcb_disconnect(c);
    }
    void StartTheProgram() {
        program = kelsor::shelltest::StartProgramIn(KELSOR_PROGRAM_PATH, dir.file(""),
                                                    dir.file("client.out"));
        ASSERT_GT(program, 0);
        ASSERT_TRUE(PollFor([&] { return (main = VisibleWindow(kMainTitle)) != 0; }, 60)) << Log();
        ASSERT_TRUE(PollFor([&] { return Viewable(c, main).has_value(); }, 10));
        // The manager may still be placing it.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        placed = *Viewable(c, main);
        EXPECT_EQ(placed.size(), kMainSize) << "a tiling manager tiled the main window";
    }
    // Minimises the main window through the window manager; a manager that
    // has no minimising (i3) leaves it where it is.
    void Minimise() {
        kelsor::test::Shell("xdotool windowminimize " + std::to_string(main));
        PollFor([&] { return !Viewable(c, main); }, 3);
    }
    // The main window is back, whole, where it was.
    void ExpectMainWindowBack() {
        ASSERT_TRUE(PollFor([&] { return Viewable(c, main) == placed; }, 10))
            << "main window at " << (Viewable(c, main) ? Viewable(c, main)->x() : -1) << ","
            << (Viewable(c, main) ? Viewable(c, main)->y() : -1) << " instead of " << placed.x()
            << "," << placed.y() << "\n"
            << Log();
    }
    std::string Log() const { return kelsor::test::ReadFile(dir.file("client.out")); }

    kelsor::test::TempFolder dir;
    xcb_connection_t* c = nullptr;
    pid_t program = -1;
    xcb_window_t main = 0;
    QRect placed;
};

// Ctrl+2 and what the user does in the capture, until it has ended.
bool Capture(const std::string& steps) {
    const std::string script =
        "xdotool key ctrl+2 && timeout 30 xdotool search --sync --onlyvisible --name "
        "'^ScreenShotWnd$' >/dev/null && sleep 0.3 && " +
        steps;
    if (kelsor::test::Shell(script) != 0)
        return false;
    return PollFor([] { return VisibleWindow("ScreenShotWnd") == 0; }, 10);
}

const std::string kDrag =
    "xdotool mousemove 100 100 mousedown 1 mousemove 200 170 sleep 0.2 mousemove 300 250 "
    "sleep 0.2 mouseup 1 sleep 0.3";

TEST_F(DesktopX11, CaptureAlwaysEndsAndFinishesWhateverTheMainWindowsState) {
    StartTheProgram();
    const fs::path captured = dir.file("data/KelsorOCR/screenocrfile.jpg");
    enum class Away { kNot, kMinimised, kOtherWorkspace };
    struct Case {
        const char* state;
        Away away;
    };
    // Before each capture: the main window where the case wants it.
    const auto stepAway = [&](Away away) {
        if (away == Away::kMinimised)
            Minimise();
        if (away == Away::kOtherWorkspace) {
            const int count = std::atoi(ShellLine("xdotool get_num_desktops").c_str());
            const int now = std::atoi(ShellLine("xdotool get_desktop").c_str());
            kelsor::test::Shell("xdotool set_desktop " + std::to_string((now + 1) % count));
            PollFor([&] { return !Viewable(c, main); }, 5);
        }
    };
    const bool workspaces = std::atoi(ShellLine("xdotool get_num_desktops").c_str()) > 1;
    for (const Case& run : {Case{"shown", Away::kNot}, Case{"minimised", Away::kMinimised},
                            Case{"on another workspace", Away::kOtherWorkspace}}) {
        if (run.away == Away::kOtherWorkspace && !workspaces)
            continue;  // a desktop of one workspace
        SCOPED_TRACE(run.state);
        // Esc mid-capture, and the toolbar's 退出截图: nothing written, the
        // desktop the user's again.
        const std::string cancels[] = {kDrag + " && xdotool key Escape",
                                       kDrag + " && xdotool mousemove 227 272 click 1"};
        for (const std::string& cancel : cancels) {
            stepAway(run.away);
            ASSERT_TRUE(Capture(cancel)) << "the capture did not end\n" << Log();
            ExpectMainWindowBack();
            EXPECT_TRUE(PollFor([&] { return DesktopIsFree(c); }, 10));
            EXPECT_FALSE(fs::exists(captured));
        }
        stepAway(run.away);
        ASSERT_TRUE(Capture(kDrag + " && xdotool mousemove 200 170 click --repeat 2 --delay 80 1"))
            << Log();
        ExpectMainWindowBack();
        EXPECT_EQ(QImage(QString::fromStdString(captured.string())).size(), QSize(200, 150));
        fs::remove(captured);
    }
    Screenshot("desktop_after_capture_" +
               (kelsor::shelltest::TestWindowManager().empty()
                    ? std::string("bare")
                    : kelsor::shelltest::TestWindowManager()) +
               ".png");
}

// The tray host KELSOR_TEST_TRAY names (a command), else trayer, at the top
// right; started unless one runs already.
void EnsureTrayHost(kelsor::shelltest::Companion& host) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool running = kelsor::shelltest::SelectionOwner(c, "_NET_SYSTEM_TRAY_S0") != 0;
    if (running) {
        xcb_disconnect(c);
        return;
    }
    const char* given = std::getenv("KELSOR_TEST_TRAY");
    ASSERT_TRUE(host.Start(given != nullptr
                               ? given
                               : "trayer --edge top --align right --widthtype pixel --width 160 "
                                 "--height 32 --transparent false --tint 0x333333"));
    ASSERT_TRUE(PollFor(
        [&] { return kelsor::shelltest::SelectionOwner(c, "_NET_SYSTEM_TRAY_S0") != 0; }, 30))
        << "no X tray host started";
    xcb_disconnect(c);
}

TEST_F(DesktopX11, TrayIconIsTheProgramsOwnAndItsClicksShowTheMainWindow) {
    kelsor::shelltest::Companion tray;
    EnsureTrayHost(tray);
    StartTheProgram();
    // The icon is the program's small window in the tray: the launcher's
    // blue square with its white face.
    std::optional<QRect> icon;
    ASSERT_TRUE(PollFor(
        [&] {
            for (const xcb_window_t window : ProgramWindows()) {
                const auto rect = Viewable(c, window);
                if (rect && rect->width() <= 64 && rect->height() <= 64)
                    icon = rect;
            }
            return icon.has_value();
        },
        30))
        << Log();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const QImage shot(QString::fromStdString(Screenshot("tray_icon.png")));
    int blue = 0, white = 0;
    for (int y = icon->top(); y <= icon->bottom(); ++y) {
        for (int x = icon->left(); x <= icon->right(); ++x) {
            const QColor p = shot.pixelColor(x, y);
            blue +=
                std::abs(p.red() - 0x43) + std::abs(p.green() - 0x99) + std::abs(p.blue() - 0xFD) <
                60;
            white += p.red() > 235 && p.green() > 235 && p.blue() > 235;
        }
    }
    const int area = icon->width() * icon->height();
    EXPECT_GT(blue * 5, area) << "the tray shows no icon of the program";
    EXPECT_GT(white * 10, area);
    EXPECT_EQ(Log().find("No Icon set"), std::string::npos);

    // The main window carries the same icon for task bars and window lists.
    EXPECT_NE(ShellLine("xprop -id " + std::to_string(main) + " _NET_WM_ICON").find(" = "),
              std::string::npos);

    const std::string at =
        std::to_string(icon->center().x()) + " " + std::to_string(icon->center().y());
    // A click shows the minimised main window.
    Minimise();
    kelsor::test::Shell("xdotool mousemove " + at + " click 1");
    ExpectMainWindowBack();

    // A right click opens the menu (截图识别, 显示主窗口, 退出): its second
    // entry shows the main window.
    Minimise();
    const std::size_t before = ProgramWindows().size();
    kelsor::test::Shell("xdotool mousemove " + at + " click 3");
    EXPECT_TRUE(PollFor([&] { return ProgramWindows().size() > before; }, 10)) << "no menu opened";
    Screenshot("tray_menu.png");
    kelsor::test::Shell("xdotool key Down Down Return");
    ExpectMainWindowBack();

    // Its first entry, 截图识别, starts a capture that Esc ends.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    kelsor::test::Shell("xdotool mousemove " + at + " click 3 sleep 1");
    EXPECT_EQ(kelsor::test::Shell("xdotool key Down Return && timeout 30 xdotool search --sync "
                                  "--onlyvisible --name '^ScreenShotWnd$' >/dev/null && sleep "
                                  "0.3 && xdotool key Escape"),
              0)
        << Log();
    EXPECT_TRUE(PollFor([] { return VisibleWindow("ScreenShotWnd") == 0; }, 10));
    ExpectMainWindowBack();
}

// In this process: the real main window and a real notice over it.
TEST(DesktopX11Notice, NoticeKeepsEnterAndEscapeAfterItsOwnerIsClicked) {
    START_PRIVATE_X();
    kelsor::test::TempFolder dir;
    kelsor::shelltest::BuildContextIn(dir);
    uitest::EnsureApp();
    ui::ModalSeam::Disable();
    auto* mainWnd = new shelltest::RecordingMainWnd();
    mainWnd->Create(nullptr, L"KelsorOCR文字识别", ui::UI_WNDSTYLE_DIALOG, ui::WS_EX_WINDOWEDGE);
    mainWnd->ShowWindow(true);
    ASSERT_TRUE(
        shelltest::WaitFor([&] { return mainWnd->GetHWND()->windowHandle()->isExposed(); }));
    QApplication::processEvents();
    const QPoint onOwner = mainWnd->ClientToScreen({900, 450});
    for (const char* key : {"Return", "Escape"}) {
        SCOPED_TRACE(key);
        std::string focused;
        bool answered = true;
        std::thread user([&] {
            if (!PollFor([] { return VisibleWindow("KelsorOCR温馨提示") != 0; }, 30))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            kelsor::test::Shell("xdotool mousemove " + std::to_string(onOwner.x()) + " " +
                                std::to_string(onOwner.y()) + " click 1");
            PollFor(
                [&] {
                    focused = ShellLine("xdotool getwindowfocus getwindowname");
                    return focused.rfind("KelsorOCR温馨提示", 0) == 0;
                },
                5);
            kelsor::test::Shell(std::string("xdotool key ") + key);
            // Never left hanging: a notice the key did not close is closed
            // by its button, and the test fails.
            if (!PollFor([] { return VisibleWindow("KelsorOCR温馨提示") == 0; }, 10)) {
                answered = false;
                const xcb_window_t notice = VisibleWindow("KelsorOCR温馨提示");
                kelsor::test::Shell("xdotool mousemove --window " + std::to_string(notice) +
                                    " 323 140 click 1");
            }
        });
        notices::CommonDlg::ShowNotice(mainWnd->GetHWND(), L"很抱歉，该文件已损坏！");
        user.join();
        EXPECT_TRUE(answered) << "the notice ignored " << key << " after its owner was clicked";
        EXPECT_EQ(focused.rfind("KelsorOCR温馨提示", 0), 0u) << focused;
    }
    delete mainWnd;
}

}  // namespace
