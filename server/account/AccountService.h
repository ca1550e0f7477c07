#pragma once

#include "server/CloudUserStore.h"
#include "server/ServerOptions.h"
#include "server/account/AccountStore.h"
#include "server/account/SmsCodes.h"

#include <json/value.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace kelsor::server::account {

// The answer of one API call: {"code": "200", "data": …} on success, else
// {"code": code, "msg": msg}. Codes are always strings.
struct ApiReply {
    std::string code = "200";
    std::string msg;
    Json::Value data;

    bool Ok() const { return code == "200"; }
    Json::Value ToJson() const;
    static ApiReply Failure(std::string code, std::string msg);
};

// A new session handed out to an account.
struct Session {
    AccountUser user;
    std::string token;
};

// The account service's rules: verification codes, sign-in by code or
// password, registration, third-party stand-ins and phone binding,
// auto-login. Each sign-in hands out the user record with a new session
// token and, the first time, the cloud credentials of a cloud user created
// for the account in the same server.
class AccountService {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    static constexpr const char* kCloudDomain = "kelsor-accounts";
    static constexpr const char* kDemoMobile = "13800000000";
    static constexpr const char* kDemoNickname = "演示用户";

    AccountService(const ServerOptions& options, CloudUserStore& cloudUsers);

    bool Open(const std::string& databasePath, std::string& error);
    // Tests move time forward through this.
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    AccountStore& Store() { return m_store; }

    // The demo account of the local run, made when missing.
    std::optional<AccountUser> EnsureDemoUser(std::string& error);
    // A new session for an account (cloud credentials made when missing).
    std::optional<Session> StartSession(const std::string& userId, std::string& error);

    // The API. `origin` ("http://host:port") is where the avatar picture
    // is served to this caller.
    ApiReply RequestCode(const Json::Value& body);
    ApiReply Login(const Json::Value& body, const std::string& origin);
    ApiReply Register(const Json::Value& body, const std::string& origin);
    ApiReply ThirdAuth(const Json::Value& body, const std::string& origin);
    ApiReply BindPhone(const Json::Value& body, const std::string& origin);
    ApiReply AutoLogin(const std::string& userId, const std::string& token,
                       const std::string& origin);

    // The record the client reads: sp, userid, nickname, mobile, avatar,
    // the four cloud members and token.
    static Json::Value Record(const Session& session, const std::string& origin);

private:
    std::chrono::system_clock::time_point Now() const { return m_clock(); }
    bool EnsureCloudCredentials(AccountUser& user, std::string& error);
    // Issues a session and its record into a reply.
    ApiReply SignedIn(const std::string& userId, const std::string& origin);
    std::optional<ApiReply> CheckCode(const std::string& mobile, const std::string& scene,
                                      const std::string& code);
    // Signs `user` in and spends the code of `scene`; a missing user (its
    // creation failed with `error`) is a server failure and keeps the code.
    ApiReply SignInWithCode(const std::optional<AccountUser>& user, const std::string& error,
                            const std::string& mobile, const char* scene,
                            const std::string& origin);

    ServerOptions m_options;
    CloudUserStore& m_cloudUsers;
    AccountStore m_store;
    SmsCodes m_codes;
    Clock m_clock;
    // Calls that read and then write several rows run one at a time.
    std::mutex m_mutex;
};

// True for 11 digits starting with 1.
bool IsMobileNumber(const std::string& text);
// Length in characters of UTF-8 text.
std::size_t Utf8Length(const std::string& text);

}  // namespace kelsor::server::account
