#include "app/Utilities.h"

#include <dirent.h>
#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <ctime>
#include <memory>

#include "platform/sys/FileVersion.h"
#include "platform/sys/ShellFolders.h"

namespace kelsor {
namespace {

bool IsPictureName(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    const std::string extension = name.substr(dot);
    for (const wchar_t* candidate : kPictureExtensions) {
        // The extensions are ASCII, so a byte compare is exact in any code page.
        std::wstring_view wide(candidate);
        if (extension.size() == wide.size() &&
            std::equal(extension.begin(), extension.end(), wide.begin(),
                       [](char a, wchar_t b) { return static_cast<wchar_t>(a) == b; })) {
            return true;
        }
    }
    return false;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// One scan's recursion; `count` belongs to the scan. Returns true when the
// limit is reached and the whole scan must stop.
bool ScanInto(const std::string& folder, std::vector<std::wstring>& paths, size_t& count) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
        return false;
    }
    while (dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = folder + "/" + name;
        // lstat: a link to a folder is not entered (it could lead back up and
        // never end); a link to a picture file is taken like the file.
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (ScanInto(path, paths, count)) {
                return true;
            }
            continue;
        }
        if (S_ISLNK(st.st_mode) && (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))) {
            continue;
        }
        if (!IsPictureName(name)) {
            continue;
        }
        paths.push_back(platform::FromNativePath(path));
        if (++count >= kFolderScanLimit) {
            return true;
        }
    }
    return false;
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

bool ScanFolderForPictures(const std::wstring& folder, std::vector<std::wstring>& paths) {
    if (folder.empty()) {
        return false;
    }
    size_t count = 0;
    ScanInto(platform::ToNativePath(folder), paths, count);
    return count > 0;
}

}  // namespace kelsor
