#include "CompanionTestSupport.h"

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace kelsor::test {

bool IsExecutable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

bool WaitForFile(const std::string& path) {
    // A bound for a stuck run, not a speed check.
    for (int i = 0; i < 600; ++i) {
        if (FileExists(path)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

ScopedRegistry::ScopedRegistry() {
    ::setenv("KELSOR_REGISTRY_DIR", m_folder.path().c_str(), 1);
}

ScopedRegistry::~ScopedRegistry() {
    ::unsetenv("KELSOR_REGISTRY_DIR");
}

}  // namespace kelsor::test
