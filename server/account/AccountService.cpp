#include "server/account/AccountService.h"

#include "server/KelsorServer.h"

#include <initializer_list>
#include <optional>
#include <utility>

namespace kelsor::server::account {
namespace {

constexpr const char* kBadRequest = "400";
constexpr const char* kMissingMember = "请求参数不完整";
constexpr const char* kBadMobile = "手机号格式不正确";
constexpr const char* kWrongCode = "验证码错误";
constexpr const char* kExpiredCode = "验证码已过期，请重新获取";
constexpr const char* kServerFailure = "服务器内部错误，请稍后重试";

// A member counts only when it is a JSON string.
bool StringMember(const Json::Value& body, const char* name, std::string& value) {
    const Json::Value& member = body[name];
    if (!member.isString()) {
        return false;
    }
    value = member.asString();
    return true;
}

std::int64_t Seconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

ApiReply ServerFailure(const std::string& why) {
    LogLine("account error: " + why);
    return ApiReply::Failure("500", kServerFailure);
}

}  // namespace

Json::Value ApiReply::ToJson() const {
    Json::Value reply;
    reply["code"] = code;
    if (Ok()) {
        reply["data"] = data.isNull() ? Json::Value(Json::objectValue) : data;
    } else {
        reply["msg"] = msg;
    }
    return reply;
}

ApiReply ApiReply::Failure(std::string code, std::string msg) {
    ApiReply reply;
    reply.code = std::move(code);
    reply.msg = std::move(msg);
    return reply;
}

bool IsMobileNumber(const std::string& text) {
    if (text.size() != 11 || text[0] != '1') {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

namespace {

// Reads the string members of a form whose `mobile` member must be a mobile
// number; the failure reply when a member is missing or the number is not one.
std::optional<ApiReply> ReadMobileForm(
    const Json::Value& body, std::initializer_list<std::pair<const char*, std::string*>> members,
    const std::string& mobile) {
    for (const auto& [name, value] : members) {
        if (!StringMember(body, name, *value)) {
            return ApiReply::Failure(kBadRequest, kMissingMember);
        }
    }
    if (!IsMobileNumber(mobile)) {
        return ApiReply::Failure(kBadRequest, kBadMobile);
    }
    return std::nullopt;
}

}  // namespace

std::size_t Utf8Length(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        count += (c & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

AccountService::AccountService(const ServerOptions& options, CloudUserStore& cloudUsers)
    : m_options(options),
      m_cloudUsers(cloudUsers),
      m_clock([] { return std::chrono::system_clock::now(); }) {}

bool AccountService::Open(const std::string& databasePath, std::string& error) {
    return m_store.Open(databasePath, error);
}

std::optional<AccountUser> AccountService::EnsureDemoUser(std::string& error) {
    std::lock_guard lock(m_mutex);
    if (auto found = m_store.FindByMobile(kDemoMobile)) {
        return found;
    }
    auto user = m_store.Create(kDemoNickname, kDemoMobile, "", std::nullopt, "", error);
    if (user && !EnsureCloudCredentials(*user, error)) {
        return std::nullopt;
    }
    return user;
}

bool AccountService::EnsureCloudCredentials(AccountUser& user, std::string& error) {
    // Credentials of another region (the server was started with another
    // --region) would name a host the certificate does not cover: make new ones.
    if (!user.cloudUser.empty() && user.cloudRegion == m_options.region) {
        return true;
    }
    // The random suffix keeps names apart even if an older database left
    // cloud users behind.
    const std::optional<std::string> suffix = RandomHex(3);
    const std::optional<std::string> password = RandomHex(16);
    if (!suffix || !password) {
        error = "no random bytes for the cloud credentials";
        return false;
    }
    const std::string name = "ocr-" + user.userId + "-" + *suffix;
    CloudUser cloud;
    if (!m_cloudUsers.AddUser(kCloudDomain, name, *password, m_options.region, cloud, error)) {
        return false;
    }
    if (!m_store.SetCloudCredentials(user.userId, kCloudDomain, name, *password,
                                     m_options.region)) {
        error = "cannot store the cloud credentials of account " + user.userId;
        return false;
    }
    user.cloudDomain = kCloudDomain;
    user.cloudUser = name;
    user.cloudPassword = *password;
    user.cloudRegion = m_options.region;
    return true;
}

std::optional<Session> AccountService::StartSession(const std::string& userId, std::string& error) {
    std::optional<AccountUser> user = m_store.FindById(userId);
    if (!user) {
        error = "no account " + userId;
        return std::nullopt;
    }
    if (!EnsureCloudCredentials(*user, error)) {
        return std::nullopt;
    }
    std::optional<std::string> token = RandomHex(32);
    if (!token) {
        error = "no random bytes for a session token";
        return std::nullopt;
    }
    Session session{*user, std::move(*token)};
    if (!m_store.StoreToken(userId, session.token, Seconds(Now()) + m_options.sessionTtlSeconds)) {
        error = "cannot store the session of account " + userId;
        return std::nullopt;
    }
    return session;
}

Json::Value AccountService::Record(const Session& session, const std::string& origin) {
    const AccountUser& user = session.user;
    Json::Value record;
    record["sp"] = "1.0";
    record["userid"] = user.userId;
    record["nickname"] = user.nickname;
    record["mobile"] = user.mobile;
    record["avatar"] = origin + "/avatar/" + user.userId + ".png";
    record["hwusername"] = user.cloudUser;
    record["hwpassword"] = user.cloudPassword;
    record["hwdomainname"] = user.cloudDomain;
    record["hwregion"] = user.cloudRegion;
    record["token"] = session.token;
    return record;
}

ApiReply AccountService::SignedIn(const std::string& userId, const std::string& origin) {
    std::string error;
    const std::optional<Session> session = StartSession(userId, error);
    if (!session) {
        return ServerFailure(error);
    }
    ApiReply reply;
    reply.data = Record(*session, origin);
    return reply;
}

std::optional<ApiReply> AccountService::CheckCode(const std::string& mobile,
                                                  const std::string& scene,
                                                  const std::string& code) {
    switch (m_codes.Check(mobile, scene, code, Now())) {
        case CodeCheck::Valid:
            return std::nullopt;
        case CodeCheck::Expired:
            return ApiReply::Failure(kBadRequest, kExpiredCode);
        case CodeCheck::Wrong:
            break;
    }
    return ApiReply::Failure(kBadRequest, kWrongCode);
}

ApiReply AccountService::RequestCode(const Json::Value& body) {
    std::string mobile, scene;
    if (auto failed = ReadMobileForm(body, {{"mobile", &mobile}, {"scene", &scene}}, mobile)) {
        return *failed;
    }
    if (scene != "login" && scene != "register" && scene != "bind") {
        return ApiReply::Failure(kBadRequest, "验证码用途不正确");
    }
    if (scene == "register" && m_store.FindByMobile(mobile)) {
        return ApiReply::Failure(kBadRequest, "该手机号已注册，请直接登录");
    }
    const std::optional<std::string> code = m_codes.Issue(mobile, scene, Now());
    if (!code) {
        return ServerFailure("no random bytes for a verification code");
    }
    ApiReply reply;
    reply.data["smscode"] = *code;
    return reply;
}

ApiReply AccountService::Login(const Json::Value& body, const std::string& origin) {
    std::string mobile, code, password;
    const bool byCode = StringMember(body, "smscode", code);
    if (!StringMember(body, "mobile", mobile) ||
        (!byCode && !StringMember(body, "password", password))) {
        return ApiReply::Failure(kBadRequest, kMissingMember);
    }
    if (!IsMobileNumber(mobile)) {
        return ApiReply::Failure(kBadRequest, kBadMobile);
    }
    std::lock_guard lock(m_mutex);
    if (!byCode) {
        const std::optional<AccountUser> user = m_store.CheckPassword(mobile, password);
        if (!user) {
            return ApiReply::Failure(kBadRequest, "手机号或密码错误");
        }
        return SignedIn(user->userId, origin);
    }
    if (auto failed = CheckCode(mobile, "login", code)) {
        return *failed;
    }
    std::string error;
    std::optional<AccountUser> user = m_store.FindByMobile(mobile);
    if (!user) {
        // A mobile without an account is registered on the spot.
        user = m_store.Create("", mobile, "", std::nullopt, "", error);
    }
    return SignInWithCode(user, error, mobile, "login", origin);
}

ApiReply AccountService::Register(const Json::Value& body, const std::string& origin) {
    std::string mobile, code, password;
    if (auto failed = ReadMobileForm(
            body, {{"mobile", &mobile}, {"smscode", &code}, {"password", &password}}, mobile)) {
        return *failed;
    }
    const std::size_t length = Utf8Length(password);
    if (length < 6 || length > 20) {
        return ApiReply::Failure(kBadRequest, "密码长度为6-20位");
    }
    std::lock_guard lock(m_mutex);
    if (m_store.FindByMobile(mobile)) {
        return ApiReply::Failure(kBadRequest, "该手机号已注册，请直接登录");
    }
    if (auto failed = CheckCode(mobile, "register", code)) {
        return *failed;
    }
    std::string error;
    const std::optional<AccountUser> user =
        m_store.Create("", mobile, password, std::nullopt, "", error);
    return SignInWithCode(user, error, mobile, "register", origin);
}

ApiReply AccountService::SignInWithCode(const std::optional<AccountUser>& user,
                                        const std::string& error, const std::string& mobile,
                                        const char* scene, const std::string& origin) {
    if (!user) {
        return ServerFailure(error);
    }
    m_codes.Consume(mobile, scene);
    return SignedIn(user->userId, origin);
}

ApiReply AccountService::ThirdAuth(const Json::Value& body, const std::string& origin) {
    std::string providerName, account, nickname;
    if (!StringMember(body, "provider", providerName) || !StringMember(body, "account", account)) {
        return ApiReply::Failure(kBadRequest, kMissingMember);
    }
    StringMember(body, "nickname", nickname);
    Provider provider;
    if (providerName == "qq") {
        provider = Provider::QQ;
    } else if (providerName == "wechat") {
        provider = Provider::WeChat;
    } else {
        return ApiReply::Failure(kBadRequest, "不支持的登录方式");
    }
    if (account.empty() || account.size() > 64) {
        return ApiReply::Failure(kBadRequest, "请输入帐号");
    }
    if (nickname.empty()) {
        nickname = (provider == Provider::QQ ? "QQ用户" : "微信用户") +
                   account.substr(account.size() > 4 ? account.size() - 4 : 0);
    }
    std::lock_guard lock(m_mutex);
    std::optional<AccountUser> user = m_store.FindByProvider(provider, account);
    if (!user) {
        std::string error;
        user = m_store.Create(nickname, "", "", provider, account, error);
        if (!user) {
            return ServerFailure(error);
        }
    }
    if (user->mobile.empty()) {
        ApiReply reply;
        reply.data["bound"] = false;
        reply.data["userid"] = user->userId;
        return reply;
    }
    ApiReply reply = SignedIn(user->userId, origin);
    if (reply.Ok()) {
        Json::Value record = reply.data;
        reply.data = Json::Value(Json::objectValue);
        reply.data["bound"] = true;
        reply.data["userid"] = user->userId;
        reply.data["user"] = record;
    }
    return reply;
}

ApiReply AccountService::BindPhone(const Json::Value& body, const std::string& origin) {
    std::string userId, mobile, code;
    if (auto failed = ReadMobileForm(
            body, {{"userid", &userId}, {"mobile", &mobile}, {"smscode", &code}}, mobile)) {
        return *failed;
    }
    std::lock_guard lock(m_mutex);
    const std::optional<AccountUser> user = m_store.FindById(userId);
    if (!user) {
        return ApiReply::Failure(kBadRequest, "帐号不存在");
    }
    if (!user->mobile.empty() || (user->qqId.empty() && user->wechatId.empty())) {
        return ApiReply::Failure(kBadRequest, "该帐号已绑定手机号");
    }
    if (auto failed = CheckCode(mobile, "bind", code)) {
        return *failed;
    }
    std::string error;
    std::string holder = user->userId;
    if (const std::optional<AccountUser> phone = m_store.FindByMobile(mobile)) {
        // The phone account takes the third-party identity, unless it
        // already has another one of the same provider.
        if (!user->qqId.empty() && !phone->qqId.empty()) {
            return ApiReply::Failure(kBadRequest, "该手机号已绑定其他QQ帐号");
        }
        if (!user->wechatId.empty() && !phone->wechatId.empty()) {
            return ApiReply::Failure(kBadRequest, "该手机号已绑定其他微信帐号");
        }
        if (!m_store.MergeInto(user->userId, phone->userId, error)) {
            return ServerFailure(error);
        }
        holder = phone->userId;
    } else if (!m_store.BindMobile(user->userId, mobile, error)) {
        return ServerFailure(error);
    }
    m_codes.Consume(mobile, "bind");
    return SignedIn(holder, origin);
}

ApiReply AccountService::AutoLogin(const std::string& userId, const std::string& token,
                                   const std::string& origin) {
    std::lock_guard lock(m_mutex);
    switch (m_store.CheckToken(userId, token, Seconds(Now()))) {
        case TokenResult::Valid:
            return SignedIn(userId, origin);
        case TokenResult::Expired:
            return ApiReply::Failure("401", "登录已过期，请重新登录");
        case TokenResult::Unknown:
            break;
    }
    return ApiReply::Failure("401", "登录信息无效，请重新登录");
}

}  // namespace kelsor::server::account
