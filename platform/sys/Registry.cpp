#include "platform/sys/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/sys/CodePage.h"

namespace kelsor::platform {
namespace {

struct RegistryKey {
    std::string path;
    std::vector<std::pair<std::string, std::string>> values;
};

using RegistryFile = std::vector<RegistryKey>;

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x < 0x80 && y < 0x80) {
            if (std::tolower(x) != std::tolower(y)) {
                return false;
            }
        } else if (x != y) {
            return false;
        }
    }
    return true;
}

std::string RegistryFolder() {
    if (const char* dir = std::getenv("KELSOR_REGISTRY_DIR"); dir && *dir) {
        std::string folder = dir;
        if (folder.back() != '/') {
            folder += '/';
        }
        return folder;
    }
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/share";
    } else {
        base = ".";
    }
    return base + "/KelsorRegistry/";
}

RegistryFile Load(const std::string& path) {
    RegistryFile file;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close == std::string::npos || close == 0) {
                continue;  // a damaged header line is skipped, not fatal
            }
            file.push_back({line.substr(1, close - 1), {}});
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || file.empty()) {
            continue;
        }
        file.back().values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return file;
}

bool Store(const std::string& path, const RegistryFile& file) {
    std::ostringstream text;
    text << "; KelsorOCR registry layer: [key path] sections, name=value lines, UTF-8\n";
    for (const auto& key : file) {
        text << '[' << key.path << "]\n";
        for (const auto& [name, value] : key.values) {
            text << name << '=' << value << '\n';
        }
    }
    // Write a sibling and rename it over the file so a reader never sees half a file.
    std::string temp = path + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text.str();
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// Serialises read-modify-write cycles of several processes on one file.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        m_fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
    }
    ~FileLock() {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd = -1;
};

RegistryKey* FindKey(RegistryFile& file, const std::string& keyPath) {
    for (auto& key : file) {
        if (SameName(key.path, keyPath)) {
            return &key;
        }
    }
    return nullptr;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::string RegistryFilePath(RegistryRoot root) {
    return RegistryFolder() +
           (root == RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER");
}

bool RegistryKeyExists(RegistryRoot root, const std::wstring& keyPath) {
    RegistryFile file = Load(RegistryFilePath(root));
    return FindKey(file, WideToUtf8(keyPath)) != nullptr;
}

bool RegistryGetString(RegistryRoot root, const std::wstring& keyPath,
                       const std::wstring& valueName, std::wstring& value) {
    RegistryFile file = Load(RegistryFilePath(root));
    RegistryKey* key = FindKey(file, WideToUtf8(keyPath));
    if (!key) {
        return false;
    }
    std::string name = WideToUtf8(valueName);
    for (const auto& [valueKey, text] : key->values) {
        if (SameName(valueKey, name)) {
            value = Utf8ToWide(text);
            return true;
        }
    }
    return false;
}

bool RegistrySetString(RegistryRoot root, const std::wstring& keyPath,
                       const std::wstring& valueName, const std::wstring& value) {
    std::string path8 = WideToUtf8(keyPath);
    std::string name8 = WideToUtf8(valueName);
    std::string value8 = WideToUtf8(value);
    if (path8.empty() || name8.find('=') != std::string::npos || HasLineBreak(path8) ||
        HasLineBreak(name8) || HasLineBreak(value8) || (!name8.empty() && name8[0] == '[') ||
        (!name8.empty() && name8[0] == ';')) {
        return false;
    }
    std::string filePath = RegistryFilePath(root);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(filePath).parent_path(), error);
    FileLock lock(filePath);
    RegistryFile file = Load(filePath);
    RegistryKey* key = FindKey(file, path8);
    if (!key) {
        file.push_back({path8, {}});
        key = &file.back();
    }
    bool replaced = false;
    for (auto& [valueKey, text] : key->values) {
        if (SameName(valueKey, name8)) {
            text = value8;
            replaced = true;
            break;
        }
    }
    if (!replaced) {
        key->values.emplace_back(name8, value8);
    }
    return Store(filePath, file);
}

bool RegistryDeleteKey(RegistryRoot root, const std::wstring& keyPath) {
    std::string filePath = RegistryFilePath(root);
    std::string path8 = WideToUtf8(keyPath);
    FileLock lock(filePath);
    RegistryFile file = Load(filePath);
    size_t before = file.size();
    std::erase_if(file, [&](const RegistryKey& key) { return SameName(key.path, path8); });
    if (file.size() == before) {
        return true;
    }
    return Store(filePath, file);
}

}  // namespace kelsor::platform
