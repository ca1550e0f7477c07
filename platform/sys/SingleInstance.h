#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// One running instance per user: the first instance holds an advisory lock
// on "<name>.lock" and listens on the local socket "<name>.sock" in the
// guard's folder. A later start finds the lock taken and hands its message
// (2125, "bring to front", or 2155, "start a capture") to the first
// instance over the socket; each side talks only to a peer of its own user.
// A socket path too long for a socket address is reached through its folder
// (never through an abstract name another user could take). The kernel
// drops the lock when a process ends, so a crash leaves nothing that blocks
// the next start; a leftover socket file is replaced by the next first
// instance.
namespace kelsor::platform {

class SingleInstanceGuard {
public:
    // Called on the guard's listener thread for every message received (only
    // 2125, "bring to front", and 2155, "start a capture", are taken;
    // anything else is dropped unanswered); the receiver hands it on to its
    // own thread (e.g. posts it to the UI queue).
    using MessageHandler = std::function<void(unsigned int message)>;

    enum class Role {
        kFirst,      // this process is the running instance
        kSecond,     // another instance holds the lock
        kUnguarded,  // the lock could not be made; run without a guard
    };

    // `folder`: where the lock and the socket live; empty = DefaultFolder().
    explicit SingleInstanceGuard(std::wstring name, std::wstring folder = {});
    ~SingleInstanceGuard();
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    // Takes the lock; as the first instance starts listening with `handler`.
    Role Acquire(MessageHandler handler);

    // As a second instance: delivers `message` to the first one. Retries for
    // up to `timeoutMs` while the first instance is still starting. Returns
    // whether the first instance took it.
    bool SendToFirst(unsigned int message, int timeoutMs = 3000);

    // Whether a later start may ask the first instance for `message`.
    static bool IsAccepted(unsigned int message);

    const std::string& lockPath() const { return m_lockPath; }
    const std::string& socketPath() const { return m_socketPath; }

    // $XDG_RUNTIME_DIR when it is set, else the program's data folder.
    static std::wstring DefaultFolder();

private:
    void Listen();

    std::string m_lockPath;
    std::string m_socketPath;  // the socket file's path, whatever its length
    int m_lockFd = -1;
    int m_listenFd = -1;
    int m_stopFd = -1;
    MessageHandler m_handler;
    std::thread m_listener;
};

}  // namespace kelsor::platform
