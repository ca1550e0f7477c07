#include "platform/sys/ShellFolders.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/sys/CodePage.h"

namespace kelsor::platform {
namespace {

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string StripTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The desktop folder as xdg-user-dirs records it in user-dirs.dirs
// (XDG_DESKTOP_DIR="$HOME/Desktop" or an absolute path), read here rather
// than through the xdg-user-dir script: the answer is wanted at start, and a
// shell would cost the start more than reading the file. Empty when none is
// recorded.
std::string XdgUserDesktop(const std::string& home) {
    const std::string config = EnvValue("XDG_CONFIG_HOME");
    const std::string folder =
        !config.empty() && config.front() == '/' ? config : home + "/.config";
    std::ifstream file(folder + "/user-dirs.dirs");
    std::string value = EnvValue("XDG_DESKTOP_DIR");
    const std::string key = "XDG_DESKTOP_DIR=";
    for (std::string line; std::getline(file, line);) {
        const auto start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line.compare(start, key.size(), key) == 0)
            value = line.substr(start + key.size());
    }
    while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0)
        value = home + value.substr(5);
    return value;
}

}  // namespace

std::string ToNativePath(const std::wstring& path) {
    return WideToCodePage(path, CodePage());
}

std::wstring FromNativePath(const std::string& path) {
    return CodePageToWide(path, CodePage());
}

std::wstring GetShellFolder(int folderId) {
    const std::string home = StripTrailingSeparators(EnvValue("HOME"));
    std::string folder;
    switch (folderId) {
        case kFolderAppData: {
            std::string data = EnvValue("XDG_DATA_HOME");
            // The XDG rules ignore a relative value.
            if (!data.empty() && data.front() == '/') {
                folder = data;
            } else if (!home.empty()) {
                folder = home + "/.local/share";
            }
            break;
        }
        case kFolderDesktop: {
            std::string desktop = StripTrailingSeparators(XdgUserDesktop(home));
            if (!desktop.empty() && desktop.front() == '/' && desktop != home) {
                folder = desktop;
            } else if (!home.empty()) {
                folder = home + "/Desktop";
            }
            break;
        }
        case kFolderPersonal:
            folder = home;
            break;
        default:
            break;
    }
    return FromNativePath(StripTrailingSeparators(folder));
}

std::wstring GetProgramPath() {
    std::vector<char> buffer(4096);
    while (true) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            return FromNativePath(std::string(buffer.data(), static_cast<size_t>(n)));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetProgramFolder() {
    std::wstring path = GetProgramPath();
    size_t slash = path.rfind(L'/');
    if (slash == std::wstring::npos) {
        return {};
    }
    return path.substr(0, slash + 1);
}

}  // namespace kelsor::platform
