#include "app/Utilities.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <ctime>
#include <cwctype>
#include <memory>
#include <utility>

#include "platform/sys/FileVersion.h"
#include "platform/sys/ShellFolders.h"

namespace kelsor {
namespace {

bool IsPictureName(const std::string& name, bool anyCase) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    const std::string extension = name.substr(dot);
    // The extensions are ASCII, so a byte compare is exact in any code page.
    const auto same = [anyCase](char a, wchar_t b) {
        const auto byte = static_cast<unsigned char>(a);
        const int c = anyCase ? std::tolower(byte) : byte;
        return static_cast<wchar_t>(c) == b;
    };
    return std::any_of(
        kPictureExtensions.begin(), kPictureExtensions.end(), [&](const wchar_t* candidate) {
            const std::wstring_view wide(candidate);
            return extension.size() == wide.size() &&
                   std::equal(extension.begin(), extension.end(), wide.begin(), same);
        });
}

// `folder` + "/" + `name`; the root folder has its separator already.
std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// One folder's entries, read whole and closed again.
struct FolderEntries {
    std::vector<std::string> pictures;
    std::vector<std::string> folders;
};

bool ReadFolder(const std::string& folder, bool anyCase, FolderEntries& entries) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        // lstat: a link to a folder is not entered (it could lead back up and
        // never end); a link to a picture file is taken like the file.
        const std::string path = JoinPath(folder, name);
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            entries.folders.push_back(name);
            continue;
        }
        if (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) != 0) {
            continue;
        }
        if (S_ISREG(st.st_mode) && IsPictureName(name, anyCase)) {
            entries.pictures.push_back(name);
        }
    }
    return true;
}

void SortNaturally(std::vector<std::string>& names) {
    std::vector<std::pair<std::wstring, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names) {
        keyed.emplace_back(platform::FromNativePath(name), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return CompareNamesNaturally(a.first, b.first) < 0;
    });
    for (size_t i = 0; i < names.size(); ++i) {
        names[i] = std::move(keyed[i].second);
    }
}

bool IsAsciiDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The end of the run of digits that starts at `i`.
size_t DigitRunEnd(std::wstring_view s, size_t i) {
    while (i < s.size() && IsAsciiDigit(s[i])) {
        ++i;
    }
    return i;
}

// Two runs of digits by value: leading zeros dropped, the longer number is
// the larger, equal lengths compare digit by digit.
int CompareNumbers(std::wstring_view a, std::wstring_view b) {
    const auto significant = [](std::wstring_view s) {
        const size_t first = s.find_first_not_of(L'0');
        return first == std::wstring_view::npos ? std::wstring_view() : s.substr(first);
    };
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);
}

std::wstring FormatFixed2(double value, const wchar_t* unit) {
    // to_chars ignores the locale: the decimal point is always ".".
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 2);
    std::wstring text = ec == std::errc() ? std::wstring(buffer, end) : std::wstring(L"0.00");
    return text + unit;
}

}  // namespace

std::wstring GetFileVersionText(const std::wstring& path) {
    platform::FileVersion version{};
    if (path.empty() || !platform::ReadFileVersion(platform::ToNativePath(path), version)) {
        return {};
    }
    return std::to_wstring(version[0]) + L"." + std::to_wstring(version[1]) + L"." +
           std::to_wstring(version[2]) + L"." + std::to_wstring(version[3]);
}

std::wstring GetTimeStampName() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[128];
    size_t n = std::strftime(buffer, sizeof(buffer), "%Y-%m-%d_%H-%M-%S", &local);
    return std::wstring(buffer, buffer + n);
}

double GetFileSize(const std::wstring& path) {
    struct stat st;
    if (path.empty() || stat(platform::ToNativePath(path).c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode)) {
        return 0.0;
    }
    // The whole 64-bit size: a file past 4 GiB keeps its true size.
    return static_cast<double>(st.st_size);
}

std::wstring GetSizeText(double n) {
    constexpr double kKB = 1024.0;
    constexpr double kMB = 1048576.0;
    constexpr double kGB = kMB * 1024.0;
    constexpr double kTB = kGB * 1024.0;
    if (std::isnan(n)) {
        n = 0.0;
    }
    if (n > kTB) {
        return FormatFixed2(n / kTB, L"TB");
    }
    if (n > kGB) {
        return FormatFixed2(n / kGB, L"GB");
    }
    if (n > kMB) {
        return FormatFixed2(n / kMB, L"MB");
    }
    if (n > kKB) {
        return FormatFixed2(n / kKB, L"KB");
    }
    return FormatFixed2(n, L"Byte");
}

int CompareNamesNaturally(std::wstring_view a, std::wstring_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsAsciiDigit(a[i]) && IsAsciiDigit(b[j])) {
            const size_t endA = DigitRunEnd(a, i);
            const size_t endB = DigitRunEnd(b, j);
            if (const int c = CompareNumbers(a.substr(i, endA - i), b.substr(j, endB - j))) {
                return c;
            }
            i = endA;
            j = endB;
            continue;
        }
        const wint_t ca = std::towlower(static_cast<wint_t>(a[i]));
        const wint_t cb = std::towlower(static_cast<wint_t>(b[j]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return i < a.size() ? 1 : -1;
    }
    return a.compare(b);  // "01" and "1", "A" and "a": still one fixed order
}

bool WalkPictureFolder(const std::wstring& folder, const PictureWalk& walk,
                       std::vector<std::wstring>& paths) {
    std::string top = platform::ToNativePath(folder);
    while (top.size() > 1 && top.back() == '/') {
        top.pop_back();
    }
    if (top.empty()) {
        return false;
    }
    size_t collected = 0;
    // Folders still to walk, the next one last.
    std::vector<std::string> pending{top};
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        FolderEntries entries;
        if (!ReadFolder(current, walk.anyCaseExtension, entries)) {
            if (current == top) {
                return false;
            }
            continue;
        }
        SortNaturally(entries.pictures);
        for (const std::string& name : entries.pictures) {
            paths.push_back(platform::FromNativePath(JoinPath(current, name)));
            if (walk.limit != 0 && ++collected >= walk.limit) {
                return true;
            }
        }
        SortNaturally(entries.folders);
        for (auto it = entries.folders.rbegin(); it != entries.folders.rend(); ++it) {
            pending.push_back(JoinPath(current, *it));
        }
    }
    return true;
}

bool ScanFolderForPictures(const std::wstring& folder, std::vector<std::wstring>& paths) {
    if (folder.empty()) {
        return false;
    }
    const size_t before = paths.size();
    WalkPictureFolder(folder, PictureWalk{}, paths);
    return paths.size() > before;
}

}  // namespace kelsor
