#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
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
namespace kelsor::shelltest {

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
        return true;
    }
    ~PrivateXServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
};

// One server for the whole test process (the application keeps its
// connection to the first).
inline bool PrivateXRunning() {
    static PrivateXServer server;
    static const bool running = server.Start();
    return running;
}

#define START_PRIVATE_X()                      \
    if (!kelsor::shelltest::PrivateXRunning()) \
        GTEST_SKIP() << "Xvfb cannot run here: no X server for the test";

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
