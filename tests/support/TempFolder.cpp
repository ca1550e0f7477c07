#include "TempFolder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kelsor::test {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelsor-test-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    m_path = made != nullptr ? made : "";
}

TempFolder::~TempFolder() {
    // An empty path (mkdtemp failed) must not become a removal of "".
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

std::wstring TempFolder::wide(const std::string& name) const {
    const std::string full = name.empty() ? m_path : file(name);
    return std::wstring(full.begin(), full.end());
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& content, int mode) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    if (mode >= 0) {
        ::chmod(path.c_str(), static_cast<mode_t>(mode));
    }
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        ::pclose(pipe);
    }
    return out;
}

}  // namespace kelsor::test
