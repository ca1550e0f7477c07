// A capture on a real Wayland desktop: a headless sway session with its own
// session bus, PipeWire and the desktop portal (xdg-desktop-portal with the
// wlr backend), a window of known content, the client running natively on
// Wayland, "KelsorOCR --capture" as a desktop shortcut runs it, the selection
// made with a virtual pointer, and the capture checked by its pixels and by
// recognising it. sway refuses to run as root: as root the session (and
// everything in it) runs as nobody, inside its own process namespace so that
// nothing outlives the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "LocalService.h"
#include "TempFolder.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"

namespace fs = std::filesystem;
using kelsor::test::ShellOutput;

namespace {

constexpr const char* kOutput = "1024x768";
constexpr uid_t kNobody = 65534;

// Starts the compositor, the bus, PipeWire and the portals; writes the
// session's addresses to run/env once the portal is on the bus.
constexpr const char* kSessionScript = R"sh(#!/bin/sh
T="$1"
export HOME="$T/home" XDG_RUNTIME_DIR="$T/run" XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
dbus-daemon --session --nofork --print-address=3 3>"$T/run/bus" &
for i in $(seq 100); do [ -s "$T/run/bus" ] && break; sleep 0.05; done
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$T/run/bus")"
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$T/sway.conf" >"$T/logs/sway.log" 2>&1 &
for i in $(seq 100); do ls "$XDG_RUNTIME_DIR" | grep -q '^wayland-[0-9]*$' && break; sleep 0.1; done
export WAYLAND_DISPLAY="$(ls "$XDG_RUNTIME_DIR" | grep '^wayland-[0-9]*$' | head -n1)"
export SWAYSOCK="$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock)"
# Each piece waits for the one it needs: on a busy machine they come slowly.
for i in $(seq 300); do swaymsg -t get_version >/dev/null 2>&1 && break; sleep 0.1; done
pipewire >"$T/logs/pipewire.log" 2>&1 &
for i in $(seq 300); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q true
}
/usr/libexec/xdg-desktop-portal-wlr >"$T/logs/xdpw.log" 2>&1 &
for i in $(seq 300); do owned org.freedesktop.impl.portal.desktop.wlr && break; sleep 0.1; done
/usr/libexec/xdg-desktop-portal >"$T/logs/xdp.log" 2>&1 &
for i in $(seq 300); do owned org.freedesktop.portal.Desktop && break; sleep 0.1; done
{ echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"; echo "WAYLAND_DISPLAY=$WAYLAND_DISPLAY"
  echo "SWAYSOCK=$SWAYSOCK"; } >"$T/run/env.part"
mv "$T/run/env.part" "$T/run/env"
wait
)sh";

bool Installed(const char* program) {
    return kelsor::test::Shell(std::string("command -v ") + program + " >/dev/null 2>&1") == 0 ||
           fs::exists(std::string("/usr/libexec/") + program);
}

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds within) {
    const auto end = std::chrono::steady_clock::now() + within;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

class WaylandSession : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program :
             {"sway", "swaymsg", "grim", "dbus-daemon", "dbus-send", "pipewire", "setpriv",
              "xdg-desktop-portal", "xdg-desktop-portal-wlr"}) {
            if (!Installed(program))
                GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh)";
        }
        m_asNobody = getuid() == 0;
        // The session's user reads and runs what lies here: copies, not the
        // build tree, which may lie in a folder closed to it.
        ::chmod(dir.path().c_str(), 0755);
        for (const char* sub : {"bin", "home", "run", "logs", "data"})
            fs::create_directories(dir.file(sub));
        ::chmod(dir.file("run").c_str(), 0700);
        fs::copy_file(KELSOR_PROGRAM_PATH, dir.file("bin/KelsorOCR"));
        fs::copy_file(KELSOR_WAYLAND_HELPER, dir.file("bin/kelsor_wayland_helper"));
        kelsor::test::WriteFile(dir.file("session.sh"), kSessionScript, 0755);
        kelsor::test::WriteFile(
            dir.file("sway.conf"),
            std::string("output HEADLESS-1 resolution ") + kOutput + "\ndefault_border none\n");
        if (m_asNobody) {
            ASSERT_EQ(kelsor::test::Shell("chown -R 65534:65534 '" + dir.path() + "'"), 0);
        }
        m_session = fork();
        if (m_session == 0) {
            const std::string script = dir.file("session.sh");
            if (m_asNobody) {
                // The namespace's first process takes every other with it;
                // its own /proc lets the portal look up its callers.
                // The namespace's first process stays root (a change of user
                // would drop the signal that ends it with unshare).
                const std::string run =
                    "setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/bin:/bin "
                    "sh '" +
                    script + "' '" + dir.path() + "' & wait";
                execlp("unshare", "unshare", "--pid", "--fork", "--kill-child", "--mount-proc",
                       "sh", "-c", run.c_str(), static_cast<char*>(nullptr));
            } else {
                setsid();
                // Nothing of the test's own desktop (an X display) leaks in.
                execlp("env", "env", "-i", "PATH=/usr/bin:/bin", "sh", script.c_str(),
                       dir.path().c_str(), static_cast<char*>(nullptr));
            }
            _exit(127);
        }
        if (!WaitFor([&] { return fs::exists(dir.file("run/env")); }, std::chrono::seconds(120)))
            GTEST_SKIP() << "the Wayland session did not start:\n" << Logs();
        std::ifstream env(dir.file("run/env"));
        for (std::string line; std::getline(env, line);)
            m_env += " '" + line + "'";
    }
    void TearDown() override {
        if (m_session > 0) {
            // unshare ignores SIGTERM while it waits; its end ends the namespace.
            kill(m_asNobody ? m_session : -m_session, SIGKILL);
            waitpid(m_session, nullptr, 0);
        }
    }

    // What the programs in the session are told besides the session's own
    // addresses: the client runs natively on Wayland with a fresh profile.
    std::string ProgramSettings() const {
        return "LANG=C.UTF-8 QT_QPA_PLATFORM=wayland XDG_DATA_HOME=" + dir.file("data") +
               " KELSOR_API_HOST=127.0.0.1:1 ";
    }
    // A command line run in the session as its user, with its addresses.
    std::string InSession(const std::string& command) const {
        const std::string user =
            m_asNobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
        return user + "env -i PATH=/usr/bin:/bin HOME='" + dir.file("home") +
               "' XDG_RUNTIME_DIR='" + dir.file("run") + "'" + m_env +
               " XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway " + ProgramSettings() + command;
    }
    // Started by the compositor, so that it ends with the session.
    int Launch(const std::string& command) const {
        return kelsor::test::Shell(
            InSession("swaymsg exec \"env " + ProgramSettings() + command + "\" >/dev/null"));
    }
    bool HasWindow(const std::string& name) const {
        return ShellOutput(InSession("swaymsg -t get_tree")).find("\"name\": \"" + name + "\"") !=
               std::string::npos;
    }
    // Runs pointer steps through the session's one virtual pointer.
    bool Pointer(const std::string& steps) const {
        const std::string done = dir.file("run/pointer.done");
        fs::remove(done);
        // Without a reader (the helper gone) the open fails instead of waiting.
        int fd = -1;
        WaitFor(
            [&] {
                fd = ::open(dir.file("run/pointer").c_str(), O_WRONLY | O_NONBLOCK);
                return fd >= 0;
            },
            std::chrono::seconds(30));
        if (fd < 0)
            return false;
        const bool written =
            ::write(fd, steps.data(), steps.size()) == static_cast<ssize_t>(steps.size());
        ::close(fd);
        return written && WaitFor([&] { return fs::exists(done); }, std::chrono::seconds(60));
    }
    std::string Logs() const {
        std::string all;
        for (const char* log : {"sway", "xdp", "xdpw", "client"})
            all += std::string("--- ") + log + "\n" +
                   kelsor::test::ReadFile(dir.file(std::string("logs/") + log + ".log"));
        return all;
    }

    kelsor::test::TempFolder dir;
    bool m_asNobody = false;
    pid_t m_session = -1;
    std::string m_env;
};

TEST_F(WaylandSession, CaptureByTheDesktopShortcutThroughThePortalIsRecognised) {
    const std::string bin = dir.file("bin/");
    // The mouse is there before any window, as on a desktop.
    const std::string fifo = dir.file("run/pointer");
    ASSERT_EQ(kelsor::test::Shell(InSession("mkfifo '" + fifo + "'")), 0);
    ASSERT_EQ(Launch(bin + "kelsor_wayland_helper pointer " + kOutput + " " + fifo), 0);
    ASSERT_EQ(Launch(bin + "kelsor_wayland_helper show"), 0);
    ASSERT_TRUE(WaitFor([&] { return HasWindow("KnownContent"); }, std::chrono::seconds(30)))
        << Logs();
    ASSERT_EQ(Launch(bin + "KelsorOCR >" + dir.file("logs/client.log") + " 2>&1"), 0);
    ASSERT_TRUE(WaitFor([&] { return HasWindow("KelsorOCR文字识别"); }, std::chrono::seconds(60)))
        << Logs();

    // What a key bound in the desktop's settings runs.
    EXPECT_EQ(kelsor::test::Shell(InSession(bin + "KelsorOCR --capture")), 0);
    ASSERT_TRUE(WaitFor([&] { return HasWindow("ScreenShotWnd"); }, std::chrono::seconds(30)))
        << Logs();
    // Mapped is not yet full screen (at first it may share the output with
    // the known window): wait until the dimmed picture covers it all.
    const std::string shot = dir.file("logs/capture.png");
    ASSERT_TRUE(WaitFor(
        [&] {
            kelsor::test::Shell(InSession("grim '" + shot + "'"));
            const QImage seen(QString::fromStdString(shot));
            const QRgb red = seen.isNull() ? 0 : seen.pixel(200, 130);
            return !seen.isNull() && qRed(seen.pixel(700, 600)) < 200 && qRed(red) > 120 &&
                   qRed(red) < 220 && qGreen(red) < 40;
        },
        std::chrono::seconds(30)));

    // A press, a drag over the known content, the release: the selection
    // with its handles, size and toolbar; the screenshot shows the capture
    // window as the user sees it. A double click in the selection finishes.
    ASSERT_TRUE(
        Pointer("move 80 80\nmove 90 90\npress\nmove 95 95\nmove 300 180\n"
                "move 510 270\nwait 200\nrelease\nwait 300\n"))
        << Logs();
    kelsor::test::Shell(InSession("grim '" + shot + "'"));
    fs::copy_file(shot, std::string(KELSOR_SCREENSHOT_DIR) + "/wayland_capture_window.png",
                  fs::copy_options::overwrite_existing);
    const QImage seen(QString::fromStdString(shot));
    ASSERT_FALSE(seen.isNull());
    // Inside the selection the screen as it is, outside dimmed.
    EXPECT_GT(qRed(seen.pixel(200, 130)), 240);
    EXPECT_LT(qGreen(seen.pixel(200, 130)), 20);
    EXPECT_LT(qRed(seen.pixel(700, 600)), 200);
    ASSERT_TRUE(Pointer("move 300 220\npress\nrelease\npress\nrelease\nwait 300\n"));
    const std::string capture = dir.file("data/KelsorOCR/screenocrfile.jpg");
    ASSERT_TRUE(WaitFor([&] { return fs::exists(capture); }, std::chrono::seconds(30))) << Logs();
    ASSERT_TRUE(WaitFor([&] { return !HasWindow("ScreenShotWnd"); }, std::chrono::seconds(30)));
    const QImage jpeg(QString::fromStdString(capture));
    ASSERT_EQ(jpeg.size(), QSize(420, 180));
    const auto near = [](QRgb p, const QColor& c) {
        return std::abs(qRed(p) - c.red()) < 40 && std::abs(qGreen(p) - c.green()) < 40 &&
               std::abs(qBlue(p) - c.blue()) < 40;
    };
    EXPECT_TRUE(near(jpeg.pixel(5, 5), Qt::white));
    EXPECT_TRUE(near(jpeg.pixel(110, 40), Qt::red));
    EXPECT_TRUE(near(jpeg.pixel(310, 40), Qt::blue));
    // The portal's file in the temporary folder is gone.
    EXPECT_FALSE(fs::exists("/tmp/out.png"));

    kelsor::test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.StartSignedIn(KELSOR_SERVER_EXE, dir.file(""), {"--engines", "1"}, error))
        << error;
    const std::string text = kelsor::RecognizePictureText(0, kelsor::AnsiToWide(capture));
    EXPECT_NE(text.find("屏幕文字"), std::string::npos) << text;
}

}  // namespace
