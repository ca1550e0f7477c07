#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <vector>

#include "TempFolder.h"
#include "platform/sys/Messages.h"
#include "platform/sys/SingleInstance.h"

using namespace kelsor::test;
using namespace kelsor::platform;
using Role = SingleInstanceGuard::Role;

namespace {

// Collects the messages the first instance receives on its listener thread.
struct Inbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<unsigned int> messages;

    SingleInstanceGuard::MessageHandler handler() {
        return [this](unsigned int message) {
            std::lock_guard lock(mutex);
            messages.push_back(message);
            arrived.notify_all();
        };
    }
    std::vector<unsigned int> waitFor(size_t count) {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, std::chrono::seconds(10), [&] { return messages.size() >= count; });
        return messages;
    }
};

// Leaves a socket file behind as a crashed instance would.
void MakeStaleSocket(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(fd);
}

}  // namespace

// The lock belongs to an open file, so two guards in one process behave like
// two processes.
TEST(SingleInstance, SecondStartDeliversBringToFront) {
    TempFolder dir;
    Inbox inbox;
    SingleInstanceGuard first(L"KelsorOCRMutex", dir.wide());
    ASSERT_EQ(first.Acquire(inbox.handler()), Role::kFirst);
    EXPECT_EQ(first.lockPath(), dir.file("KelsorOCRMutex.lock"));

    SingleInstanceGuard second(L"KelsorOCRMutex", dir.wide());
    ASSERT_EQ(second.Acquire(nullptr), Role::kSecond);
    EXPECT_TRUE(second.SendToFirst(kelsor::WM_KSOCR_BRINGTOFRONT));
    EXPECT_TRUE(second.SendToFirst(kelsor::WM_KSOCR_BRINGTOFRONT));
    EXPECT_EQ(inbox.waitFor(2), (std::vector<unsigned int>{2125, 2125}));

    // Any other number would pass for one of the main window's own messages.
    for (unsigned int other : {0u, 2124u, 2141u, 2152u, 2154u, 2156u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(second.SendToFirst(other)) << other;
    }
    EXPECT_TRUE(second.SendToFirst(kelsor::WM_KSOCR_BRINGTOFRONT));
    EXPECT_TRUE(second.SendToFirst(kelsor::WM_KSOCR_STARTCAPTURE));
    EXPECT_EQ(inbox.waitFor(4), (std::vector<unsigned int>{2125, 2125, 2125, 2155}));
}

TEST(SingleInstance, LeftoversOfACrashDoNotBlockTheNextStart) {
    TempFolder dir;
    WriteFile(dir.file("KelsorOCRMutex.lock"), "");
    MakeStaleSocket(dir.file("KelsorOCRMutex.sock"));

    Inbox inbox;
    {
        SingleInstanceGuard first(L"KelsorOCRMutex", dir.wide());
        ASSERT_EQ(first.Acquire(inbox.handler()), Role::kFirst);
        SingleInstanceGuard second(L"KelsorOCRMutex", dir.wide());
        ASSERT_EQ(second.Acquire(nullptr), Role::kSecond);
        EXPECT_TRUE(second.SendToFirst(2125));
        EXPECT_EQ(inbox.waitFor(1).size(), 1u);
    }
    // Once the first instance is gone the next start is first again.
    SingleInstanceGuard again(L"KelsorOCRMutex", dir.wide());
    EXPECT_EQ(again.Acquire(nullptr), Role::kFirst);
}

TEST(SingleInstance, NobodyListeningIsReportedNotAwaitedForever) {
    TempFolder dir;
    MakeStaleSocket(dir.file("KelsorOCRMutex.sock"));
    SingleInstanceGuard lone(L"KelsorOCRMutex", dir.wide());
    EXPECT_FALSE(lone.SendToFirst(2125, 200));
}

TEST(SingleInstance, ALongFolderKeepsTheSocketInItAndMissingFoldersAreMade) {
    TempFolder dir;
    for (const size_t length : {150u, 400u}) {
        SCOPED_TRACE(length);
        std::string deep = dir.path() + "/" + std::to_string(length);
        while (deep.size() < length) {
            deep += "/nested-folder";
        }
        const std::wstring wideDeep(deep.begin(), deep.end());
        Inbox inbox;
        SingleInstanceGuard first(L"KelsorOCRMutex", wideDeep);
        ASSERT_EQ(first.Acquire(inbox.handler()), Role::kFirst);
        // A file in the user's own folder, not a name anyone can bind first.
        EXPECT_EQ(first.socketPath(), deep + "/KelsorOCRMutex.sock");
        struct stat st {};
        EXPECT_TRUE(stat(first.socketPath().c_str(), &st) == 0 && S_ISSOCK(st.st_mode));
        SingleInstanceGuard second(L"KelsorOCRMutex", wideDeep);
        ASSERT_EQ(second.Acquire(nullptr), Role::kSecond);
        EXPECT_TRUE(second.SendToFirst(2155));
        EXPECT_EQ(inbox.waitFor(1), (std::vector<unsigned int>{2155}));
    }
}

namespace {

// A listener of another user (nobody) in a child process: it binds
// `address` (holding the lock file `lock` first, when given), answers one
// connection as a first instance would, and says which message it got.
class OtherUsersListener {
public:
    OtherUsersListener(const sockaddr_un& address, socklen_t length, const std::string& lock) {
        if (pipe(m_ready) != 0 || pipe(m_done) != 0 || pipe(m_result) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            Serve(address, length, lock);  // never returns
        }
        char ready = 0;
        m_ready_ok = read(m_ready[0], &ready, 1) == 1 && ready == 'r';
    }
    ~OtherUsersListener() { Received(); }
    bool Ready() const { return m_pid > 0 && m_ready_ok; }

    // The message the other user was handed; 0 for none.
    unsigned int Received() {
        if (m_pid <= 0) {
            return 0;
        }
        const char done = 'd';
        (void)!write(m_done[1], &done, 1);
        std::uint32_t message = 0;
        if (read(m_result[0], &message, sizeof(message)) != sizeof(message)) {
            message = 0;
        }
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return message;
    }

private:
    [[noreturn]] void Serve(const sockaddr_un& address, socklen_t length, const std::string& lock) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const bool up = setgid(65534) == 0 && setuid(65534) == 0 && getuid() == 65534 &&
                        (lock.empty() || flock(open(lock.c_str(), O_RDWR | O_CREAT, 0644),
                                               LOCK_EX | LOCK_NB) == 0) &&
                        bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                        listen(fd, 4) == 0;
        const char ready = up ? 'r' : 'x';
        (void)!write(m_ready[1], &ready, 1);
        std::uint32_t message = 0;
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_done[0], POLLIN, 0}};
        if (up && poll(fds, 2, -1) > 0 && (fds[0].revents & POLLIN) != 0) {
            const int client = accept(fd, nullptr, nullptr);
            const char ack = 1;
            if (client >= 0 &&
                recv(client, &message, sizeof(message), MSG_WAITALL) == ssize_t(sizeof(message))) {
                (void)!write(client, &ack, 1);
            }
        }
        (void)!write(m_result[1], &message, sizeof(message));
        _exit(0);
    }

    pid_t m_pid = -1;
    bool m_ready_ok = false;
    int m_ready[2] = {-1, -1};
    int m_done[2] = {-1, -1};
    int m_result[2] = {-1, -1};
};

sockaddr_un FileAddress(const std::string& path, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return address;
}

// The abstract name a guard once gave a socket path too long for an address:
// computable by anyone who knows the user id and the folder.
sockaddr_un FormerAbstractAddress(const std::string& path, socklen_t& length) {
    const std::string name =
        "kelsor-" + std::to_string(getuid()) + "-" + std::to_string(std::hash<std::string>{}(path));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return address;
}

}  // namespace

// Another user gets in first: a listener in a folder open to everyone with
// the lock held, or the abstract name of a long folder bound before the
// program starts. The capture request never reaches that user.
TEST(SingleInstance, AnotherUsersListenerIsNeverHandedAMessage) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "acting as a second user needs root";
    }
    TempFolder dir;
    chmod(dir.path().c_str(), 0777);
    std::string deep = dir.path() + "/long";
    while (deep.size() < 150) {
        deep += "/nested-folder";
    }
    std::filesystem::create_directories(deep);
    const std::string shared = dir.path();
    const std::string deepSocket = deep + "/KelsorOCRMutex.sock";

    socklen_t length = 0;
    {
        SCOPED_TRACE("a listener with the lock in a shared folder");
        const sockaddr_un address = FileAddress(shared + "/KelsorOCRMutex.sock", length);
        OtherUsersListener other(address, length, shared + "/KelsorOCRMutex.lock");
        ASSERT_TRUE(other.Ready());
        SingleInstanceGuard second(L"KelsorOCRMutex", dir.wide());
        ASSERT_EQ(second.Acquire(nullptr), Role::kSecond);
        EXPECT_FALSE(second.SendToFirst(kelsor::WM_KSOCR_STARTCAPTURE, 300));
        EXPECT_EQ(other.Received(), 0u);
    }
    {
        SCOPED_TRACE("the abstract name of a long folder taken first");
        const sockaddr_un address = FormerAbstractAddress(deepSocket, length);
        OtherUsersListener other(address, length, "");
        ASSERT_TRUE(other.Ready());
        const std::wstring wideDeep(deep.begin(), deep.end());
        Inbox inbox;
        SingleInstanceGuard first(L"KelsorOCRMutex", wideDeep);
        ASSERT_EQ(first.Acquire(inbox.handler()), Role::kFirst);
        SingleInstanceGuard second(L"KelsorOCRMutex", wideDeep);
        ASSERT_EQ(second.Acquire(nullptr), Role::kSecond);
        EXPECT_TRUE(second.SendToFirst(kelsor::WM_KSOCR_STARTCAPTURE));
        EXPECT_EQ(inbox.waitFor(1), (std::vector<unsigned int>{kelsor::WM_KSOCR_STARTCAPTURE}));
        EXPECT_EQ(other.Received(), 0u);
    }
}
