#include "tools/UpdateCheck.h"

#include <cwctype>
#include <regex>

#include "app/TextConv.h"
#include "tools/ToolHttp.h"

namespace kelsor::tools {
namespace {

// Only plain file names travel from the reply to the data folder.
std::wstring SafeFileName(const std::string& name, const std::wstring& version) {
    static const std::regex kSafe("[A-Za-z0-9][A-Za-z0-9._+-]{0,100}");
    if (std::regex_match(name, kSafe))
        return AnsiToWide(name);
    return L"KelsorOCR-" + version + L".deb";
}

}  // namespace

int CompareVersions(const std::wstring& a, const std::wstring& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        unsigned long long x = 0, y = 0;
        for (; i < a.size() && a[i] != L'.'; ++i)
            x = std::iswdigit(a[i]) ? x * 10 + static_cast<unsigned>(a[i] - L'0') : x;
        for (; j < b.size() && b[j] != L'.'; ++j)
            y = std::iswdigit(b[j]) ? y * 10 + static_cast<unsigned>(b[j] - L'0') : y;
        if (x != y)
            return x < y ? -1 : 1;
        i += i < a.size() ? 1 : 0;  // past the dot
        j += j < b.size() ? 1 : 0;
    }
    return 0;
}

UpdateCheckResult CheckForUpdate(const std::wstring& apiBase, const std::wstring& ownVersion,
                                 const std::wstring& channel) {
    UpdateCheckResult result;
    const std::wstring version = ownVersion.empty() ? L"0" : ownVersion;
    const std::string url =
        WideToAnsi(apiBase + L"/api/v3/update/ocr/ver/" + version + L"/channel/" + channel);
    Json::Value reply;
    if (!FetchJson(url, nullptr, reply, result.error))
        return result;
    const Json::Value& data = reply["data"];
    const auto text = [&data](const char* key) {
        return data.isObject() && data[key].isString() ? data[key].asString() : std::string();
    };
    static const std::wregex kVersion(L"[0-9]{1,9}(\\.[0-9]{1,9}){0,3}");
    result.offer.version = AnsiToWide(text("version"));
    if (!std::regex_match(result.offer.version, kVersion)) {
        result.error = "the reply names no version";
        return result;
    }
    result.offer.downloadUrl = AnsiToWide(text("dlurl"));
    result.offer.digest = AnsiToWide(text("md5"));
    result.offer.fileName = SafeFileName(text("name"), result.offer.version);
    result.answer = CompareVersions(result.offer.version, version) > 0 ? UpdateAnswer::kNewer
                                                                       : UpdateAnswer::kLatest;
    return result;
}

}  // namespace kelsor::tools
