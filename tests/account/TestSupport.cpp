#include "TestSupport.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/TextConv.h"

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

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

int Shell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Hex(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

void ResetSession(const TempFolder& folder) {
    CurrentUser() = UserInfo{};
    SaveSession() = true;
    App().sessionFilePath = AnsiToWide(folder.file("ud"));
    App().autoLoginReply.set(L"");
}

void RecordingAccountWindow::ShowSignedIn(const std::wstring& displayName, int placement) {
    signedIn.emplace_back(displayName, placement);
}

}  // namespace kelsor::test
