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

// Fills `address` for `path`; paths too long for sun_path use the abstract
// namespace with a name derived from the path and the user id.
socklen_t SocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (path.size() < sizeof(address.sun_path) && path.front() != '@') {
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    }
    std::string name = path.substr(1);  // "@name"
    name = name.substr(0, sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

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
    if (m_socketPath.size() >= sizeof(sockaddr_un::sun_path)) {
        m_socketPath = "@kelsor-" + std::to_string(getuid()) + "-" +
                       std::to_string(std::hash<std::string>{}(m_socketPath));
    }
}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (m_listener.joinable()) {
        uint64_t one = 1;
        (void)!write(m_stopFd, &one, sizeof(one));
        m_listener.join();
    }
    if (m_listenFd >= 0) {
        close(m_listenFd);
        if (m_socketPath.front() != '@') {
            unlink(m_socketPath.c_str());
        }
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
    if (m_socketPath.front() != '@') {
        unlink(m_socketPath.c_str());
    }
    m_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address;
    socklen_t length = SocketAddress(m_socketPath, address);
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listenFd, 8) != 0) {
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
        sockaddr_un address;
        socklen_t length = SocketAddress(m_socketPath, address);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) {
            std::uint32_t value = message;
            char ack = 0;
            bool ok = WriteAll(fd, &value, sizeof(value)) && ReadAll(fd, &ack, 1) && ack == 1;
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
