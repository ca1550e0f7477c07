#include "platform/sys/Ini.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwctype>
#include <optional>
#include <vector>

#include "platform/sys/CodePage.h"
#include "platform/sys/ShellFolders.h"

namespace kelsor::platform {
namespace {

// One line of the file as it was read (without its "\n") plus what it means.
struct IniLine {
    std::string raw;
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::wstring name;   // section or key name, trimmed
    std::wstring value;  // key value, trimmed and unquoted
};

std::wstring Trim(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(text[begin])) {
        ++begin;
    }
    while (end > begin && std::iswspace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

IniLine ParseLine(std::string raw) {
    IniLine line;
    line.raw = std::move(raw);
    std::string text = line.raw;
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    std::wstring wide = Trim(CodePageToWide(text, CodePage()));
    if (wide.empty() || wide.front() == L';') {
        return line;
    }
    if (wide.front() == L'[') {
        size_t close = wide.find(L']');
        if (close != std::wstring::npos) {
            line.kind = IniLine::kSection;
            line.name = Trim(wide.substr(1, close - 1));
        }
        return line;
    }
    size_t equals = wide.find(L'=');
    if (equals == std::wstring::npos) {
        return line;
    }
    line.kind = IniLine::kKey;
    line.name = Trim(wide.substr(0, equals));
    line.value = Trim(wide.substr(equals + 1));
    if (line.value.size() >= 2 && (line.value.front() == L'"' || line.value.front() == L'\'') &&
        line.value.back() == line.value.front()) {
        line.value = line.value.substr(1, line.value.size() - 2);
    }
    return line;
}

// Reads the whole file; nullopt when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::string data;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        data.append(buffer, n);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return std::nullopt;
    }
    return data;
}

std::vector<IniLine> ParseFile(const std::string& data) {
    std::vector<IniLine> lines;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t newline = data.find('\n', pos);
        if (newline == std::string::npos) {
            lines.push_back(ParseLine(data.substr(pos)));
            break;
        }
        lines.push_back(ParseLine(data.substr(pos, newline - pos)));
        pos = newline + 1;
    }
    return lines;
}

// Writes `data` next to `path` and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& data) {
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    size_t written = 0;
    while (written < data.size()) {
        ssize_t n = write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += static_cast<size_t>(n);
    }
    bool ok = written == data.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, const std::wstring& path) {
    std::optional<std::string> data = ReadWholeFile(ToNativePath(path));
    if (!data || key.empty()) {
        return defaultValue;
    }
    const std::wstring wantedSection = Trim(section);
    const std::wstring wantedKey = Trim(key);
    bool inSection = false;
    for (const IniLine& line : ParseFile(*data)) {
        if (line.kind == IniLine::kSection) {
            inSection = SameName(line.name, wantedSection);
        } else if (inSection && line.kind == IniLine::kKey && SameName(line.name, wantedKey)) {
            return line.value;
        }
    }
    return defaultValue;
}

bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::wstring& path) {
    const std::wstring wantedSection = Trim(section);
    const std::wstring wantedKey = Trim(key);
    if (wantedSection.empty() || wantedKey.empty() || wantedKey.find(L'=') != std::wstring::npos ||
        value.find_first_of(L"\r\n") != std::wstring::npos) {
        return false;
    }
    const std::string nativePath = ToNativePath(path);
    std::vector<IniLine> lines;
    if (access(nativePath.c_str(), F_OK) == 0) {
        // An existing file we may not write stays as it is.
        if (access(nativePath.c_str(), W_OK) != 0) {
            return false;
        }
        std::optional<std::string> data = ReadWholeFile(nativePath);
        if (!data) {
            return false;
        }
        lines = ParseFile(*data);
    }
    const bool crlf =
        !lines.empty() && !lines.front().raw.empty() && lines.front().raw.back() == '\r';
    const std::string cr = crlf ? "\r" : "";
    const std::string keyLine = WideToCodePage(wantedKey + L"=" + value, CodePage()) + cr;

    // Find the section and, in it, the key or the last non-blank line.
    std::optional<size_t> sectionAt;
    std::optional<size_t> keyAt;
    size_t insertAfter = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == IniLine::kSection) {
            if (sectionAt) {
                break;
            }
            if (SameName(lines[i].name, wantedSection)) {
                sectionAt = i;
                insertAfter = i;
            }
        } else if (sectionAt) {
            if (lines[i].kind == IniLine::kKey && SameName(lines[i].name, wantedKey)) {
                keyAt = i;
                break;
            }
            if (!Trim(CodePageToWide(lines[i].raw, CodePage())).empty()) {
                insertAfter = i;
            }
        }
    }
    if (keyAt) {
        lines[*keyAt].raw = keyLine;
    } else if (sectionAt) {
        IniLine added;
        added.raw = keyLine;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1), added);
    } else {
        IniLine header;
        header.raw = WideToCodePage(L"[" + wantedSection + L"]", CodePage()) + cr;
        IniLine added;
        added.raw = keyLine;
        lines.push_back(header);
        lines.push_back(added);
    }
    std::string out;
    for (const IniLine& line : lines) {
        out += line.raw;
        out += '\n';
    }
    return ReplaceFile(nativePath, out);
}

}  // namespace kelsor::platform
