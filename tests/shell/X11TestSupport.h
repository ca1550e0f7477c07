#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// A private X server for one test process, so that key grabs and window
// stacking of one test never meet those of another test running beside it.
// KELSOR_TEST_WM names a window manager to run on it ("openbox", "i3", or a
// command line): the tests then meet the windows as a user's desktop has
// them.
namespace kelsor::shelltest {

// Starts `command` (through sh) with DISPLAY as set; its output is dropped.
inline pid_t SpawnShell(const std::string& command) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string line = "exec " + command;
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), line.data(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "sh", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// The window (if any) that owns the X selection `name` on the display.
inline xcb_window_t SelectionOwner(xcb_connection_t* c, const std::string& name) {
    auto* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    if (atom == nullptr)
        return 0;
    auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
    std::free(atom);
    const xcb_window_t window = owner != nullptr ? owner->owner : 0;
    std::free(owner);
    return window;
}

// Polls `done` (about every 50 ms) for up to `seconds`.
template <typename Done>
bool PollFor(Done done, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

// The window manager KELSOR_TEST_WM names; empty for bare Xvfb.
inline std::string TestWindowManager() {
    const char* wm = std::getenv("KELSOR_TEST_WM");
    return wm != nullptr ? wm : "";
}

// A process running on the private server for as long as the test process.
class Companion {
public:
    Companion() = default;
    Companion(const Companion&) = delete;
    Companion& operator=(const Companion&) = delete;
    ~Companion() { Stop(); }
    bool Start(const std::string& command) {
        m_pid = SpawnShell(command);
        return m_pid > 0;
    }
    bool Running() const { return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0; }
    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
};

// Starts the window manager KELSOR_TEST_WM names and waits until it manages
// the screen (it owns WM_S0, as ICCCM managers do). True without one.
inline bool StartWindowManager(Companion& manager, const std::string& folder) {
    std::string wm = TestWindowManager();
    if (wm.empty())
        return true;
    if (wm == "i3") {
        // No bar, no wizard: a plain tiling manager.
        const std::string config = folder + "/i3.config";
        std::FILE* f = std::fopen(config.c_str(), "w");
        if (f == nullptr)
            return false;
        std::fputs("# i3 config file (v4)\nfont pango:monospace 8\n", f);
        std::fclose(f);
        wm = "i3 -c '" + config + "'";
    }
    if (!manager.Start(wm))
        return false;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool managing = PollFor([&] { return SelectionOwner(c, "WM_S0") != 0; }, 30);
    xcb_disconnect(c);
    // A moment for the manager's own windows and properties to settle.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return managing && manager.Running();
}

class PrivateXServer {
public:
    // Starts Xvfb and points DISPLAY at it; false when Xvfb cannot run.
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // -noreset: otherwise the server resets whenever its last client
        // leaves (each xdotool call), and a program connecting during the
        // reset is refused.
        char* argv[] = {const_cast<char*>("Xvfb"),      const_cast<char*>("-displayfd"),
                        const_cast<char*>("3"),         const_cast<char*>("-screen"),
                        const_cast<char*>("0"),         const_cast<char*>("1280x900x24"),
                        const_cast<char*>("-nolisten"), const_cast<char*>("tcp"),
                        const_cast<char*>("-noreset"),  nullptr};
        const int rc = posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            m_pid = -1;
            return false;
        }
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            return false;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        m_folder = "/tmp/kelsor-x" + number;
        mkdir(m_folder.c_str(), 0700);
        m_managerFailed = !StartWindowManager(m_manager, m_folder);
        return !m_managerFailed;
    }
    // The server ran but the window manager asked for did not: a failure,
    // not a reason to skip.
    bool ManagerFailed() const { return m_managerFailed; }
    ~PrivateXServer() {
        m_manager.Stop();
        if (!m_folder.empty()) {
            std::remove((m_folder + "/i3.config").c_str());
            rmdir(m_folder.c_str());
        }
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
    std::string m_folder;
    Companion m_manager;
    bool m_managerFailed = false;
};

// One server for the whole test process (the application keeps its
// connection to the first).
inline PrivateXServer& PrivateX() {
    static PrivateXServer server;
    return server;
}
inline bool PrivateXRunning() {
    static const bool running = PrivateX().Start();
    return running;
}

#define START_PRIVATE_X()                                                             \
    if (!kelsor::shelltest::PrivateXRunning()) {                                      \
        if (kelsor::shelltest::PrivateX().ManagerFailed())                            \
            FAIL() << "the window manager " << kelsor::shelltest::TestWindowManager() \
                   << " did not start (scripts/install-deps.sh installs it)";         \
        GTEST_SKIP() << "Xvfb cannot run here: no X server for the test";             \
    }

// Starts `program` (with `argument`, if any) as a user's desktop would,
// with its runtime and data folders under `folder`, the account API on a
// closed port and `settings` added to the environment; its output goes to
// `out`. The process id, or -1.
inline pid_t StartProgramIn(const std::string& program, const std::string& folder,
                            const std::string& out, std::vector<std::string> settings = {},
                            const char* argument = nullptr) {
    std::vector<std::string> env = std::move(settings);
    for (std::string setting :
         {"XDG_RUNTIME_DIR=" + folder + "/run", "XDG_DATA_HOME=" + folder + "/data",
          std::string("KELSOR_API_HOST=127.0.0.1:1"), std::string("LANG=C.UTF-8")})
        env.push_back(std::move(setting));
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0)
            env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string path = program;
    std::string given = argument != nullptr ? argument : "";
    char* argv[] = {path.data(), argument != nullptr ? given.data() : nullptr, nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Another X client's grab of a key (plain, as a program that owns the key
// would make it): `keysym` with the X modifier mask `modifiers`. False when
// the server refused it.
inline bool GrabKey(xcb_connection_t* c, xcb_keysym_t keysym, std::uint16_t modifiers) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* reply = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    xcb_keycode_t code = 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    for (int i = 0; i < count * reply->keysyms_per_keycode && code == 0; ++i) {
        if (syms[i] == keysym)
            code = static_cast<xcb_keycode_t>(setup->min_keycode + i / reply->keysyms_per_keycode);
    }
    std::free(reply);
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_grab_key_checked(c, 1, root, modifiers, code, XCB_GRAB_MODE_ASYNC,
                                                  XCB_GRAB_MODE_ASYNC));
    const bool granted = error == nullptr;
    std::free(error);
    return granted;
}

inline bool GrabCtrl2(xcb_connection_t* c) {
    return GrabKey(c, 0x32, XCB_MOD_MASK_CONTROL);
}

}  // namespace kelsor::shelltest
