#include "app/Startup.h"

#include <chrono>
#include <clocale>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "platform/sys/Messages.h"
#include "platform/sys/SingleInstance.h"

namespace kelsor {
namespace {

// Messages from later starts, handed from the guard's listener thread to the
// main thread.
class MessageQueue {
public:
    void Post(unsigned int message) {
        {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(message);
        }
        m_ready.notify_one();
    }
    // Waits until `deadline` for a message; false when none came.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline, unsigned int& message) {
        std::unique_lock lock(m_mutex);
        if (!m_ready.wait_until(lock, deadline, [this] { return !m_messages.empty(); })) {
            return false;
        }
        message = m_messages.front();
        m_messages.pop_front();
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<unsigned int> m_messages;
};

int HoldSeconds() {
    const char* value = std::getenv("KELSOR_HOLD_SECONDS");
    if (value == nullptr) {
        return 0;
    }
    char* end = nullptr;
    long seconds = std::strtol(value, &end, 10);
    if (end == value || seconds < 0) {
        return 0;
    }
    return seconds > 86400 ? 86400 : static_cast<int>(seconds);
}

void PrintValue(std::FILE* out, const char* name, const std::wstring& value) {
    std::fprintf(out, "  %-20s %s\n", name, WideToAnsi(value).c_str());
}

void PrintContext(std::FILE* out, const AppContext& c) {
    std::fprintf(out, "KelsorOCR: the main window is not built yet; application context:\n");
    PrintValue(out, "exeFolder", c.exeFolder);
    PrintValue(out, "selfPath", c.selfPath);
    PrintValue(out, "updaterPath", c.updaterPath);
    PrintValue(out, "statsPath", c.statsPath);
    PrintValue(out, "versionText", c.versionText);
    PrintValue(out, "desktopFolder", c.desktopFolder);
    PrintValue(out, "dataFolder", c.dataFolder);
    PrintValue(out, "configPath", c.configPath);
    PrintValue(out, "sessionFilePath", c.sessionFilePath);
    PrintValue(out, "installerPath", c.installerPath);
    PrintValue(out, "channel", c.channel);
    PrintValue(out, "homePageUrl", c.homePageUrl);
    PrintValue(out, "aboutPageUrl", c.aboutPageUrl);
    PrintValue(out, "blankPageUrl", c.blankPageUrl);
    PrintValue(out, "loginPageUrl", c.loginPageUrl);
    PrintValue(out, "bindPhonePageUrl", c.bindPhonePageUrl);
    PrintValue(out, "autoLoginApiUrl", c.autoLoginApiUrl);
    PrintValue(out, "softwareInfoApiUrl", c.softwareInfoApiUrl);
    std::fflush(out);
}

}  // namespace

int RunKelsorOCR(std::FILE* out) {
    // The locale's character set becomes the program's code page.
    std::setlocale(LC_ALL, "");
    InitHttpGlobal();

    MessageQueue queue;
    platform::SingleInstanceGuard guard(L"KelsorOCRMutex");
    const auto role = guard.Acquire([&queue](unsigned int message) { queue.Post(message); });
    if (role == platform::SingleInstanceGuard::Role::kSecond) {
        const bool delivered = guard.SendToFirst(WM_KSOCR_BRINGTOFRONT);
        std::fprintf(
            out, "KelsorOCR is already running; %s\n",
            delivered ? "asked it to come to the front (message 2125)." : "it did not answer.");
        std::fflush(out);
        return 0;
    }

    BuildAppContext(App(), StartupInputs::FromEnvironment());
    PrintContext(out, App());

    const int hold = HoldSeconds();
    if (hold == 0) {
        return 0;
    }
    std::fprintf(out,
                 "KelsorOCR: running for %d s (KELSOR_HOLD_SECONDS); a second start is "
                 "answered here.\n",
                 hold);
    std::fflush(out);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(hold);
    unsigned int message = 0;
    while (queue.WaitUntil(deadline, message)) {
        std::fprintf(out, "KelsorOCR: received message %u%s\n", message,
                     message == WM_KSOCR_BRINGTOFRONT ? " (bring to front)" : "");
        std::fflush(out);
    }
    return 0;
}

}  // namespace kelsor
