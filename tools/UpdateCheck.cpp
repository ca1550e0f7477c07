#include "tools/UpdateCheck.h"

#include <cwctype>
#include <regex>

#include "app/JsonText.h"
#include "app/TextConv.h"
#include "platform/sys/CodePage.h"
#include "tools/ToolHttp.h"

namespace kelsor::tools {
namespace {

// Only plain names of the program's own package type travel from the reply
// to the data folder; an empty name gets one made from the version.
bool PackageFileName(const std::string& name, const std::wstring& version, std::wstring& fileName) {
    static const std::regex kPackage("[A-Za-z0-9][A-Za-z0-9._+-]{0,100}\\.deb");
    if (name.empty()) {
        fileName = L"KelsorOCR-" + version + AnsiToWide(kPackageSuffix);
        return true;
    }
    if (!std::regex_match(name, kPackage))
        return false;
    fileName = AnsiToWide(name);
    return true;
}

// One path segment of the request, percent-escaped as UTF-8.
std::string PathSegment(const std::wstring& text) {
    const std::string utf8 = platform::WideToUtf8(text);
    std::string escaped;
    static const char kDigits[] = "0123456789ABCDEF";
    for (const unsigned char c : utf8) {
        const bool unreserved = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                                (c >= 'a' && c <= 'z') || c == '-' || c == '_' || c == '.' ||
                                c == '~';
        if (unreserved) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += kDigits[c >> 4];
            escaped += kDigits[c & 0xFu];
        }
    }
    return escaped;
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
    const std::string url = WideToAnsi(apiBase) + "/api/v3/update/ocr/ver/" + PathSegment(version) +
                            "/channel/" + PathSegment(channel);
    Json::Value reply;
    if (!FetchJson(url, nullptr, reply, result.error) ||
        !ReadUpdateOffer(reply, result.offer, result.error))
        return result;
    result.answer = CompareVersions(result.offer.version, version) > 0 ? UpdateAnswer::kNewer
                                                                       : UpdateAnswer::kLatest;
    return result;
}

bool ReadUpdateOffer(const Json::Value& reply, UpdateOffer& offer, std::string& error) {
    const Json::Value& data = JsonMember(reply, "data");
    static const std::wregex kVersion(L"[0-9]{1,9}(\\.[0-9]{1,9}){0,3}");
    offer = {};
    offer.version = AnsiToWide(StringMember(data, "version"));
    if (!std::regex_match(offer.version, kVersion)) {
        error = "the reply names no version";
        return false;
    }
    const Json::Value& size = JsonMember(data, "size");
    const std::uint64_t stated = size.isUInt64() ? size.asUInt64() : 0;
    offer.size = stated > 0 ? stated : kMaxPackageBytes;
    offer.digest = AnsiToWide(StringMember(data, "md5"));
    for (wchar_t& c : offer.digest)  // compared with the file's lower-case digest
        c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    if (PackageFileName(StringMember(data, "name"), offer.version, offer.fileName) &&
        offer.size <= kMaxPackageBytes)
        offer.downloadUrl = AnsiToWide(StringMember(data, "dlurl"));
    else
        offer.fileName.clear();  // nothing this program would install
    return true;
}

}  // namespace kelsor::tools
