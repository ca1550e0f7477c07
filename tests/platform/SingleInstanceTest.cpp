#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
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

TEST(SingleInstance, LongFolderUsesAnAbstractSocketAndMissingFoldersAreMade) {
    TempFolder dir;
    std::string deep = dir.path();
    while (deep.size() < 150) {
        deep += "/nested-folder";
    }
    const std::wstring wideDeep(deep.begin(), deep.end());
    Inbox inbox;
    SingleInstanceGuard first(L"KelsorOCRMutex", wideDeep);
    ASSERT_EQ(first.Acquire(inbox.handler()), Role::kFirst);
    EXPECT_EQ(first.socketPath().front(), '@');
    SingleInstanceGuard second(L"KelsorOCRMutex", wideDeep);
    ASSERT_EQ(second.Acquire(nullptr), Role::kSecond);
    EXPECT_TRUE(second.SendToFirst(2125));
    EXPECT_EQ(inbox.waitFor(1), (std::vector<unsigned int>{2125}));
}
