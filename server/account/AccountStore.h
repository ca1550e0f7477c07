#pragma once

#include "server/CloudUserStore.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace kelsor::server::account {

// Third-party sign-in providers whose accounts can be linked to a user.
enum class Provider { QQ, WeChat };

// One account of the account service as stored.
struct AccountUser {
    std::string userId;  // decimal number
    std::string nickname;
    std::string mobile;  // empty until a phone is bound
    std::string qqId;
    std::string wechatId;
    bool hasPassword = false;
    // The cloud credentials handed to this user; empty until first issued.
    std::string cloudDomain;
    std::string cloudUser;
    std::string cloudPassword;
    std::string cloudRegion;
};

enum class TokenResult { Valid, Unknown, Expired };

// Accounts in SQLite (the server's database file). Session tokens are kept
// as SHA-256 digests only; passwords as salted PBKDF2 hashes. Every call is
// atomic on its own; callers that combine calls serialise them themselves.
class AccountStore {
public:
    bool Open(const std::string& databasePath, std::string& error);

    // Creates an account. `mobile` and the third-party id may be empty; an
    // empty `password` leaves the account without one.
    std::optional<AccountUser> Create(const std::string& nickname, const std::string& mobile,
                                      const std::string& password, std::optional<Provider> provider,
                                      const std::string& providerId, std::string& error);
    std::optional<AccountUser> FindById(const std::string& userId);
    std::optional<AccountUser> FindByMobile(const std::string& mobile);
    std::optional<AccountUser> FindByProvider(Provider provider, const std::string& providerId);
    // The account when mobile and password match; hashes even when the
    // mobile is unknown.
    std::optional<AccountUser> CheckPassword(const std::string& mobile,
                                             const std::string& password);

    bool SetCloudCredentials(const std::string& userId, const std::string& domain,
                             const std::string& user, const std::string& password,
                             const std::string& region);
    // Replaces the session token (the older one stops working).
    bool StoreToken(const std::string& userId, const std::string& token, std::int64_t expiresAt);
    TokenResult CheckToken(const std::string& userId, const std::string& token, std::int64_t now);

    bool BindMobile(const std::string& userId, const std::string& mobile, std::string& error);
    // Moves the third-party ids of `fromId` onto `intoId` and deletes `fromId`,
    // in one transaction.
    bool MergeInto(const std::string& fromId, const std::string& intoId, std::string& error);

private:
    std::optional<AccountUser> FindWhere(const char* condition, const std::string& value);

    SqlDatabase m_db;
    std::mutex m_mutex;
};

}  // namespace kelsor::server::account
