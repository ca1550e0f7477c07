#include "platform/sys/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "platform/sys/Messages.h"
#include "platform/sys/ShellFolders.h"

namespace kelsor::platform {
namespace {

bool MakeFolders(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        partial = folder.substr(0, pos);
        if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The address of the socket file `path`. A path too long for sun_path is
// reached through its folder opened as a descriptor: /proc/self/fd/<n>/<name>
// names the same file and always fits. Never an abstract name: that one is
// not a file in our own folder, and another user could bind it first.
class SocketAddress {
public:
    explicit SocketAddress(const std::string& path) {
        m_address.sun_family = AF_UNIX;
        std::string reachable = path;
        if (path.size() >= sizeof(m_address.sun_path)) {
            const size_t slash = path.rfind('/');
            if (slash == std::string::npos) {
                return;
            }
            const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
            m_folder = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (m_folder < 0) {
                return;
            }
            reachable = "/proc/self/fd/" + std::to_string(m_folder) + path.substr(slash);
        }
        if (reachable.size() >= sizeof(m_address.sun_path)) {
            return;
        }
        std::memcpy(m_address.sun_path, reachable.c_str(), reachable.size() + 1);
        m_length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + reachable.size() + 1);
    }
    ~SocketAddress() {
        if (m_folder >= 0) {
            close(m_folder);
        }
    }
    SocketAddress(const SocketAddress&) = delete;
    SocketAddress& operator=(const SocketAddress&) = delete;

    // False when the path cannot be reached at all (its folder cannot be opened).
    bool Valid() const { return m_length != 0; }
    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&m_address); }
    socklen_t Length() const { return m_length; }

private:
    sockaddr_un m_address{};
    socklen_t m_length = 0;
    int m_folder = -1;
};

// Moves all `size` bytes by repeated `step(p, left)` calls (send or recv),
// going on after a signal; false when the peer goes or a call fails.
template <typename Step>
bool TransferAll(char* p, size_t size, Step step) {
    while (size > 0) {
        ssize_t n = step(p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
    // send() only reads the bytes; the cast serves the shared loop.
    return TransferAll(static_cast<char*>(const_cast<void*>(data)), size,
                       [fd](char* p, size_t left) { return send(fd, p, left, MSG_NOSIGNAL); });
}

bool ReadAll(int fd, void* data, size_t size) {
    return TransferAll(static_cast<char*>(data), size,
                       [fd](char* p, size_t left) { return recv(fd, p, left, 0); });
}

void SetTimeouts(int fd, int ms) {
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
}

}  // namespace

bool SingleInstanceGuard::IsAccepted(unsigned int message) {
    return message == WM_KSOCR_BRINGTOFRONT || message == WM_KSOCR_STARTCAPTURE;
}

std::wstring SingleInstanceGuard::DefaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
        return FromNativePath(runtime);
    }
    std::wstring appData = GetShellFolder(kFolderAppData);
    return appData.empty() ? std::wstring() : appData + L"/KelsorOCR";
}

SingleInstanceGuard::SingleInstanceGuard(std::wstring name, std::wstring folder) {
    if (folder.empty()) {
        folder = DefaultFolder();
    }
    std::string base = ToNativePath(folder);
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    const std::string nativeName = ToNativePath(name);
    m_lockPath = base + "/" + nativeName + ".lock";
    m_socketPath = base + "/" + nativeName + ".sock";
}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (m_listener.joinable()) {
        uint64_t one = 1;
        (void)!write(m_stopFd, &one, sizeof(one));
        m_listener.join();
    }
    if (m_listenFd >= 0) {
        close(m_listenFd);
        unlink(m_socketPath.c_str());
    }
    if (m_stopFd >= 0) {
        close(m_stopFd);
    }
    // The lock file itself stays: removing it would let a third start lock a
    // new file while a second still waits on the old one.
    if (m_lockFd >= 0) {
        close(m_lockFd);
    }
}

SingleInstanceGuard::Role SingleInstanceGuard::Acquire(MessageHandler handler) {
    const std::string folder = m_lockPath.substr(0, m_lockPath.rfind('/'));
    if (!MakeFolders(folder)) {
        return Role::kUnguarded;
    }
    m_lockFd = open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0) {
        return Role::kUnguarded;
    }
    if (flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        bool taken = errno == EWOULDBLOCK;
        close(m_lockFd);
        m_lockFd = -1;
        return taken ? Role::kSecond : Role::kUnguarded;
    }
    // We own the lock, so any socket file left here is stale.
    unlink(m_socketPath.c_str());
    m_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const SocketAddress address(m_socketPath);
    if (m_listenFd < 0 || !address.Valid() ||
        bind(m_listenFd, address.Get(), address.Length()) != 0 || listen(m_listenFd, 8) != 0) {
        if (m_listenFd >= 0) {
            close(m_listenFd);
            m_listenFd = -1;
        }
        // Still the only instance; it just cannot be reached.
        return Role::kFirst;
    }
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    m_handler = std::move(handler);
    m_listener = std::thread([this] { Listen(); });
    return Role::kFirst;
}

void SingleInstanceGuard::Listen() {
    while (true) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        int n = poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        int client = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        SetTimeouts(client, 1000);
        // Only our own user may talk to us, and only to bring the window to
        // the front or start a capture: any other number would reach the
        // main window as one of its own messages.
        ucred peer{};
        socklen_t peerLength = sizeof(peer);
        std::uint32_t message = 0;
        if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) == 0 &&
            peer.uid == getuid() && ReadAll(client, &message, sizeof(message)) &&
            IsAccepted(message)) {
            if (m_handler) {
                m_handler(message);
            }
            const char ack = 1;
            WriteAll(client, &ack, 1);
        }
        close(client);
    }
}

bool SingleInstanceGuard::SendToFirst(unsigned int message, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        SetTimeouts(fd, 2000);
        const SocketAddress address(m_socketPath);
        if (!address.Valid()) {
            close(fd);
            return false;
        }
        if (connect(fd, address.Get(), address.Length()) == 0) {
            // Only a first instance of our own user is told anything: a
            // listener of another user (a socket put in a folder others can
            // write to) would be handed the capture.
            ucred peer{};
            socklen_t peerLength = sizeof(peer);
            std::uint32_t value = message;
            char ack = 0;
            const bool ok = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) == 0 &&
                            peer.uid == getuid() && WriteAll(fd, &value, sizeof(value)) &&
                            ReadAll(fd, &ack, 1) && ack == 1;
            close(fd);
            return ok;
        }
        close(fd);
        // The first instance may hold the lock but not listen yet.
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        usleep(50 * 1000);
    }
}

}  // namespace kelsor::platform
