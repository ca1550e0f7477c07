#pragma once

#include <cstdint>
#include <string>

#include <json/value.h>

// What the updater asks the account service and what it does with the answer.
namespace kelsor::tools {

struct UpdateOffer {
    std::wstring version;      // the channel's newest version
    std::wstring downloadUrl;  // empty: no package to fetch
    std::wstring digest;       // MD5 of the package, hexadecimal
    std::wstring fileName;     // the package's file name (safe characters only)
    std::uint64_t size = 0;    // bytes the download may take: the stated size, or the cap
};

// The packages the program is distributed as, and the most a download may
// take when the reply states no size.
inline constexpr const char* kPackageSuffix = ".deb";
inline constexpr std::uint64_t kMaxPackageBytes = std::uint64_t{1} << 30;

enum class UpdateAnswer { kNewer, kLatest, kFailed };

struct UpdateCheckResult {
    UpdateAnswer answer = UpdateAnswer::kFailed;
    UpdateOffer offer;
    std::string error;  // with kFailed: why, for standard error
};

// Compares dotted versions number by number ("1.10" > "1.9"; a missing
// number is 0). Negative, 0 or positive as `a` is older, equal or newer.
int CompareVersions(const std::wstring& a, const std::wstring& b);

// Reads the "data" of a version check's reply into `offer`. False with
// `error` when it names no version. A package is offered only under a plain
// name of the program's own package type and within the size cap; otherwise
// the offer has no download.
bool ReadUpdateOffer(const Json::Value& reply, UpdateOffer& offer, std::string& error);

// Asks `apiBase` for the newest version of `channel` and compares it with
// `ownVersion`. An own version that is empty or unreadable counts as oldest.
// Both go into the request's path escaped, whatever config.ini holds.
UpdateCheckResult CheckForUpdate(const std::wstring& apiBase, const std::wstring& ownVersion,
                                 const std::wstring& channel);

// The messages the updater shows.
namespace updatetext {
inline constexpr const wchar_t* kNewerPrefix = L"发现新版本 ";
inline constexpr const wchar_t* kLatest = L"已是最新版本";
inline constexpr const wchar_t* kFailed = L"检查更新失败，请检查网络后重试";
inline constexpr const wchar_t* kDownloading = L"正在下载新版本，请稍候…";
inline constexpr const wchar_t* kDigestMismatch = L"安装包校验失败，已删除，请稍后再试";
inline constexpr const wchar_t* kNoPackage = L"暂时无法下载新版本，请稍后再试";
inline constexpr const wchar_t* kOpened = L"已打开安装包，请按提示完成更新";
inline constexpr const wchar_t* kOpenFailed = L"无法打开安装包，请手动打开：";
}  // namespace updatetext

}  // namespace kelsor::tools
