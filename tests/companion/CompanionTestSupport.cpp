#include "CompanionTestSupport.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace kelsor::test {

TempFolder::TempFolder() {
    std::string pattern = "/tmp/kelsor-test-XXXXXX";
    m_path = ::mkdtemp(pattern.data());
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& content, int mode) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    ::chmod(path.c_str(), mode);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool IsExecutable(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

int Shell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
