#include "DesktopSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace kelsor::bench {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct ProcessStat {
    pid_t parent = 0;
    long long cpuTicks = 0;
};

// Fields of /proc/<pid>/stat after the command name, which may hold spaces.
bool ReadStat(pid_t pid, ProcessStat& stat) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line))
        return false;
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream fields(line.substr(close + 2));
    std::string state;
    long long value = 0;
    fields >> state >> stat.parent;
    // ppid is field 4; utime and stime are fields 14 and 15.
    for (int field = 5; field <= 15 && fields >> value; ++field) {
        if (field >= 14)
            stat.cpuTicks += value;
    }
    return true;
}

std::vector<pid_t> ProcessTree(pid_t root) {
    std::map<pid_t, pid_t> parents;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        ProcessStat stat;
        if (ReadStat(std::stoi(name), stat))
            parents[std::stoi(name)] = stat.parent;
    }
    std::vector<pid_t> tree = {root};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        for (const auto& [pid, parent] : parents) {
            if (parent == tree[i])
                tree.push_back(pid);
        }
    }
    return tree;
}

long long TreeCpuTicks(pid_t root) {
    long long ticks = 0;
    for (pid_t pid : ProcessTree(root)) {
        ProcessStat stat;
        if (ReadStat(pid, stat))
            ticks += stat.cpuTicks;
    }
    return ticks;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

}  // namespace

struct PrivateDesktop::Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    ~Connection() {
        if (c != nullptr)
            xcb_disconnect(c);
    }

    // Next event within the time left, or null.
    xcb_generic_event_t* Next(Clock::time_point deadline) {
        while (true) {
            if (xcb_generic_event_t* event = xcb_poll_for_event(c))
                return event;
            const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
            if (left <= 0 || xcb_connection_has_error(c))
                return nullptr;
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left * 1000) + 1);
        }
    }

    // The next top-level, non-override-redirect window mapped other than `except`.
    MappedWindow WaitForMap(unsigned int except, Clock::time_point start, double timeoutSeconds) {
        MappedWindow window;
        const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(timeoutSeconds));
        while (xcb_generic_event_t* event = Next(deadline)) {
            const bool map = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const auto* notify = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (map && notify->override_redirect == 0 && notify->window != except) {
                window.secondsSinceExec = SecondsSince(start);
                window.id = notify->window;
            }
            std::free(event);
            if (window.id != 0)
                break;
        }
        if (window.id != 0) {
            auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window.id), nullptr);
            if (geometry != nullptr) {
                window.width = geometry->width;
                window.height = geometry->height;
            }
            std::free(geometry);
        }
        return window;
    }
};

PrivateDesktop::PrivateDesktop() = default;

namespace {

// Starts `args` (searched in PATH) with its fd 3 on a pipe and its errors
// dropped; reads the first line it writes there. False when it cannot run or
// writes nothing.
bool SpawnAndReadLine(std::vector<std::string> args, pid_t& pid, std::string& line) {
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    char ch = 0;
    while (rc == 0 && ::read(fds[0], &ch, 1) == 1 && ch != '\n')
        line += ch;
    ::close(fds[0]);
    if (rc != 0)
        pid = -1;
    return rc == 0 && !line.empty();
}

void EndServer(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

}  // namespace

PrivateDesktop::~PrivateDesktop() {
    m_connection.reset();
    EndServer(m_bus);
    EndServer(m_server);
}

bool PrivateDesktop::Start(std::string& error) {
    std::string number;
    if (!SpawnAndReadLine(
            {"Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"},
            m_server, number)) {
        error = "Xvfb cannot run here";
        return false;
    }
    // A desktop session has a session bus, and Qt programs talk to it as they
    // start (accessibility); without one they try to launch one instead.
    if (!SpawnAndReadLine({"dbus-daemon", "--session", "--nofork", "--print-address=3"}, m_bus,
                          m_busAddress))
        std::printf("startup: no dbus-daemon here: the programs start without a session bus\n");
    m_display = ":" + number;
    m_connection = std::make_unique<Connection>();
    m_connection->c = xcb_connect(m_display.c_str(), nullptr);
    if (xcb_connection_has_error(m_connection->c)) {
        error = "cannot connect to Xvfb on " + m_display;
        return false;
    }
    m_connection->root = xcb_setup_roots_iterator(xcb_get_setup(m_connection->c)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection->c, m_connection->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection->c);
    return true;
}

pid_t PrivateDesktop::Launch(const std::vector<std::string>& argv,
                             std::vector<std::string> environment, double timeoutSeconds,
                             MappedWindow& window) {
    environment.push_back("DISPLAY=" + m_display);
    if (!m_busAddress.empty())
        environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + m_busAddress);
    std::vector<std::string> args = argv;
    std::vector<char*> argp, envp;
    for (auto& a : args)
        argp.push_back(a.data());
    argp.push_back(nullptr);
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const auto start = Clock::now();
    const int rc =
        posix_spawn(&pid, args[0].c_str(), &actions, &attributes, argp.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    window = m_connection->WaitForMap(0, start, timeoutSeconds);
    return pid;
}

MappedWindow PrivateDesktop::WaitForNewWindow(unsigned int except, double timeoutSeconds) {
    return m_connection->WaitForMap(except, Clock::now(), timeoutSeconds);
}

void PrivateDesktop::Click(unsigned int window, int x, int y) {
    const std::string command = "DISPLAY=" + m_display + " xdotool mousemove --window " +
                                std::to_string(window) + " " + std::to_string(x) + " " +
                                std::to_string(y) + " click 1";
    [[maybe_unused]] const int rc = std::system(command.c_str());
}

bool PrivateDesktop::Close(unsigned int window, double timeoutSeconds) {
    xcb_connection_t* c = m_connection->c;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom(c, "WM_PROTOCOLS");
    message.data.data32[0] = Atom(c, "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds));
    bool gone = false;
    while (!gone) {
        xcb_generic_event_t* event = m_connection->Next(deadline);
        if (event == nullptr)
            break;
        const int type = event->response_type & 0x7f;
        if (type == XCB_UNMAP_NOTIFY)
            gone = reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == window;
        else if (type == XCB_DESTROY_NOTIFY)
            gone = reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == window;
        std::free(event);
    }
    return gone;
}

long long TreeResidentBytes(pid_t pid) {
    long long pages = 0;
    for (pid_t member : ProcessTree(pid)) {
        std::ifstream statm("/proc/" + std::to_string(member) + "/statm");
        long long size = 0, resident = 0;
        if (statm >> size >> resident)
            pages += resident;
    }
    return pages * ::sysconf(_SC_PAGESIZE);
}

void WaitUntilIdle(pid_t pid, double timeoutSeconds) {
    const auto start = Clock::now();
    const long long quiet = std::max(1L, ::sysconf(_SC_CLK_TCK) / 100);  // 10 ms
    long long before = TreeCpuTicks(pid);
    while (SecondsSince(start) < timeoutSeconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const long long now = TreeCpuTicks(pid);
        if (now - before < quiet)
            return;
        before = now;
    }
}

void EndProcessGroup(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(-pid, SIGTERM);
    for (int i = 0; i < 40; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            ::kill(-pid, SIGKILL);  // helpers left behind by the leader
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

std::vector<std::string> CleanEnvironment() {
    static const char* const kDropped[] = {
        "DISPLAY=", "QT_QPA_PLATFORM=", "XDG_DATA_HOME=",           "XDG_RUNTIME_DIR=",
        "KELSOR_",  "WAYLAND_DISPLAY=", "DBUS_SESSION_BUS_ADDRESS="};
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool keep = true;
        for (const char* prefix : kDropped)
            keep = keep && entry.rfind(prefix, 0) != 0;
        if (keep)
            environment.push_back(entry);
    }
    return environment;
}

}  // namespace kelsor::bench
