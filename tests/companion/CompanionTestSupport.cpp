#include "CompanionTestSupport.h"

#include <unistd.h>

#include <chrono>
#include <thread>

namespace kelsor::test {

bool IsExecutable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

bool WaitForFile(const std::string& path) {
    // A bound for a stuck run, not a speed check.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!FileExists(path)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace kelsor::test
