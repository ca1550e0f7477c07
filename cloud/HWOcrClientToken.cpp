#include "cloud/HWOcrClientToken.h"

#include "app/TextConv.h"
#include "cloud/CloudEndpoint.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstring>

namespace kelsor {

const char* const kGeneralTextPath = "/v1.0/ocr/general-text";

namespace {

HWOcrClientToken g_ocrClientToken;

constexpr char kTokenHeader[] = "X-Subject-Token: ";
constexpr std::size_t kTokenHeaderLength = sizeof(kTokenHeader) - 1;  // 17
constexpr int kTokenAttempts = 3;
constexpr long kTokenTimeoutSeconds = 15;

// Double quote, backslash and control characters escaped; other bytes as
// they are, so a credential value can never end its string early.
std::string JsonQuoted(const std::string& value) {
    std::string out = "\"";
    for (unsigned char c : value) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

size_t DiscardBody(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Takes the token from the "X-Subject-Token: " line (exact case), without
// the line's CR LF.
size_t TokenHeaderLine(char* data, size_t size, size_t count, void* userData) {
    const size_t bytes = size * count;
    const std::string line(data, strnlen(data, bytes));
    auto* token = static_cast<std::string*>(userData);
    if (line.compare(0, kTokenHeaderLength, kTokenHeader) == 0) {
        *token = line.size() >= kTokenHeaderLength + 2
                     ? line.substr(kTokenHeaderLength, line.size() - kTokenHeaderLength - 2)
                     : std::string();
    }
    return bytes;
}

}  // namespace

HWOcrClientToken& OcrClientToken() {
    return g_ocrClientToken;
}

HWOcrClientToken::~HWOcrClientToken() = default;

void HWOcrClientToken::SetAuthInfo(const std::string& userName, const std::string& password,
                                   const std::string& domainName, const std::string& projectName) {
    std::lock_guard lock(m_mutex);
    m_userName = userName;
    m_password = password;
    m_domainName = domainName;
    m_projectName = projectName;
}

HWOcrClientToken::Credentials HWOcrClientToken::CurrentCredentials() const {
    std::lock_guard lock(m_mutex);
    return {m_userName, m_password, m_domainName, m_projectName};
}

std::string HWOcrClientToken::GetRegion() const {
    std::lock_guard lock(m_mutex);
    return m_projectName;
}

std::string HWOcrClientToken::GetToken() const {
    std::lock_guard lock(m_mutex);
    return m_token;
}

void HWOcrClientToken::get_token() {
    std::lock_guard fetchLock(m_fetchMutex);
    const Credentials credentials = CurrentCredentials();
    {
        std::lock_guard lock(m_mutex);
        // A held token is reused only for the credentials it was issued for.
        if (!m_token.empty() && m_tokenIssuedFor == credentials) {
            std::puts("m_token is not null.");
            std::fflush(stdout);
            return;
        }
    }
    std::string token = FetchToken(credentials);
    std::lock_guard lock(m_mutex);
    m_token = std::move(token);
    m_tokenIssuedFor = credentials;
}

std::string HWOcrClientToken::RefreshToken(const std::string& staleToken) {
    std::lock_guard fetchLock(m_fetchMutex);
    const Credentials credentials = CurrentCredentials();
    {
        std::lock_guard lock(m_mutex);
        if (!m_token.empty() && m_token != staleToken && m_tokenIssuedFor == credentials) {
            return m_token;  // another request refreshed it meanwhile
        }
    }
    std::string token = FetchToken(credentials);
    std::lock_guard lock(m_mutex);
    m_token = token;
    m_tokenIssuedFor = credentials;
    return token;
}

std::string BuildTokenRequestBody(const std::string& domainName, const std::string& userName,
                                  const std::string& password, const std::string& projectName) {
    return "{\"auth\": {\"identity\": {\"password\": {\"user\": {\"domain\": {\"name\": " +
           JsonQuoted(domainName) + "},\"name\": " + JsonQuoted(userName) +
           ",\"password\": " + JsonQuoted(password) +
           "}},\"methods\": [\"password\"]},\"scope\": {\"project\": {\"name\": " +
           JsonQuoted(projectName) + "}}}}";
}

std::string HWOcrClientToken::FetchToken(const Credentials& credentials) {
    const std::string host = "iam." + credentials.projectName + CloudDomainSuffix();
    std::printf("endpoint: %s\n", host.c_str());
    const std::string url = "https://" + host + "/v3/auth/tokens";
    std::printf("URL: %s\n", url.c_str());
    std::fflush(stdout);
    const std::string body = BuildTokenRequestBody(credentials.domainName, credentials.userName,
                                                   credentials.password, credentials.projectName);

    for (int attempt = 0; attempt < kTokenAttempts; ++attempt) {
        CURL* handle = curl_easy_init();
        if (handle == nullptr) {
            continue;
        }
        std::string token;
        curl_slist* headers = curl_slist_append(nullptr, "Content-Type:application/json");
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT, kTokenTimeoutSeconds);
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, DiscardBody);
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, TokenHeaderLine);
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, &token);
        ApplyCloudTls(handle);
        const CURLcode result = curl_easy_perform(handle);
        curl_easy_cleanup(handle);
        curl_slist_free_all(headers);
        if (result == CURLE_OK) {
            std::puts("get token success");
            std::fflush(stdout);
            return token;
        }
        std::printf(" get_token curl_easy_perform() failed:%d,%s\n", static_cast<int>(result),
                    curl_easy_strerror(result));
        std::fflush(stdout);
    }
    return {};
}

void InitCloudToken(const std::wstring& userName, const std::wstring& password,
                    const std::wstring& domainName, const std::wstring& region) {
    HWOcrClientToken& client = OcrClientToken();
    client.SetAuthInfo(WideToAnsi(userName), WideToAnsi(password), WideToAnsi(domainName),
                       WideToAnsi(region));
    client.get_token();
}

}  // namespace kelsor
