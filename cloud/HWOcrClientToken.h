#pragma once

#include <json/value.h>

#include <mutex>
#include <string>
#include <vector>

// The cloud identity token client and the general-text request. One
// process-wide instance holds the credentials and the token; recognition
// requests on any thread read them.
namespace kelsor {

// Request path of the general-text recognition service.
extern const char* const kGeneralTextPath;

class HWOcrClientToken {
public:
    HWOcrClientToken() = default;
    virtual ~HWOcrClientToken();
    HWOcrClientToken(const HWOcrClientToken&) = delete;
    HWOcrClientToken& operator=(const HWOcrClientToken&) = delete;

    // Stores the credentials; the token is kept until get_token sees that it
    // was issued for other credentials.
    void SetAuthInfo(const std::string& userName, const std::string& password,
                     const std::string& domainName, const std::string& projectName);
    // Fetches a token unless one for the current credentials is held.
    void get_token();
    // Drops `staleToken` (refused by the service) and fetches a new one, unless
    // another thread already did; returns the token now held.
    std::string RefreshToken(const std::string& staleToken);

    std::string GetRegion() const;
    std::string GetToken() const;

    // Posts the picture (file path, or an address containing "http://" or
    // "https://") and returns the reply envelope in the process code page.
    std::string RecognizeGeneralText(std::string pictureRef, std::string requestPath,
                                     Json::Value body);
    // The same for a picture already in memory, its bytes as a file holds them.
    std::string RecognizeGeneralPicture(const std::vector<unsigned char>& picture,
                                        std::string requestPath, Json::Value body);

private:
    struct Credentials {
        std::string userName, password, domainName, projectName;
        bool operator==(const Credentials&) const = default;
    };
    Credentials CurrentCredentials() const;
    // Posts the request body with the current token (refreshed once on 401).
    std::string PostRecognition(const std::string& requestPath, Json::Value body);
    // Up to three attempts; returns the token (empty when none came back).
    static std::string FetchToken(const Credentials& credentials);

    std::string m_token;
    std::string m_userName;
    std::string m_password;
    std::string m_projectName;
    std::string m_domainName;
    Credentials m_tokenIssuedFor;  // the credentials m_token belongs to
    mutable std::mutex m_mutex;    // guards every member above
    std::mutex m_fetchMutex;       // one token request series at a time
};

// The process-wide instance.
HWOcrClientToken& OcrClientToken();

// Converts the wide credentials to the process code page, stores them in the
// process-wide instance and fetches its token (blocking, up to 3 x 15 s).
void InitCloudToken(const std::wstring& userName, const std::wstring& password,
                    const std::wstring& domainName, const std::wstring& region);

// The token request body: one JSON line, one space after each colon, the
// credential values JSON-escaped.
std::string BuildTokenRequestBody(const std::string& domainName, const std::string& userName,
                                  const std::string& password, const std::string& projectName);

}  // namespace kelsor
