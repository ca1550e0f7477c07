#include "server/account/AccountStore.h"

#include "server/HexText.h"
#include "server/SqlStatement.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <ctime>
#include <vector>

namespace kelsor::server::account {
namespace {

// User ids are numbers counted up from here, so they look like account ids.
constexpr std::int64_t kFirstIdBase = 10000000;

std::string TokenDigest(const std::string& token) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(token.data()), token.size(), digest);
    return HexText(digest, sizeof digest);
}

// Stored ids are numbers; anything else names no account.
bool ParseUserId(const std::string& text, std::int64_t& id) {
    if (text.empty() || text.size() > 18) {
        return false;
    }
    id = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        id = id * 10 + (c - '0');
    }
    return true;
}

constexpr const char* kColumns =
    "id, nickname, mobile, qq, wechat, pw_hash IS NOT NULL, cloud_domain, cloud_user, "
    "cloud_password, cloud_region";

AccountUser ReadUser(SqlStatement& query) {
    AccountUser user;
    user.userId = std::to_string(query.Int64(0));
    user.nickname = query.Text(1);
    user.mobile = query.Text(2);
    user.qqId = query.Text(3);
    user.wechatId = query.Text(4);
    user.hasPassword = query.Int64(5) != 0;
    user.cloudDomain = query.Text(6);
    user.cloudUser = query.Text(7);
    user.cloudPassword = query.Text(8);
    user.cloudRegion = query.Text(9);
    return user;
}

}  // namespace

bool AccountStore::Open(const std::string& databasePath, std::string& error) {
    std::lock_guard lock(m_mutex);
    const std::string schema =
        "CREATE TABLE IF NOT EXISTS account_users ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " nickname TEXT NOT NULL DEFAULT '',"
        " mobile TEXT UNIQUE, qq TEXT UNIQUE, wechat TEXT UNIQUE,"
        " pw_salt BLOB, pw_hash BLOB, pw_iterations INTEGER,"
        " token_hash TEXT, token_expires INTEGER,"
        " cloud_domain TEXT NOT NULL DEFAULT '', cloud_user TEXT NOT NULL DEFAULT '',"
        " cloud_password TEXT NOT NULL DEFAULT '', cloud_region TEXT NOT NULL DEFAULT '',"
        " created INTEGER NOT NULL);"
        "INSERT INTO sqlite_sequence (name, seq) SELECT 'account_users', " +
        std::to_string(kFirstIdBase) +
        " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'account_users');";
    return OpenDatabase(databasePath, schema, "account table", m_db, error);
}

std::optional<AccountUser> AccountStore::Create(const std::string& nickname,
                                                const std::string& mobile,
                                                const std::string& password,
                                                std::optional<Provider> provider,
                                                const std::string& providerId, std::string& error) {
    std::optional<PasswordHash> hash;
    if (!password.empty()) {
        hash = HashPassword(password);  // slow: outside the lock
        if (!hash) {
            error = "no random salt for the password";
            return std::nullopt;
        }
    }
    const std::string qq = provider == Provider::QQ ? providerId : "";
    const std::string wechat = provider == Provider::WeChat ? providerId : "";
    std::lock_guard lock(m_mutex);
    // Without a password the three password columns stay NULL.
    SqlStatement insert(
        m_db.get(),
        "INSERT INTO account_users (nickname, mobile, qq, wechat, pw_salt, pw_hash, "
        "pw_iterations, created) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
        nickname, OrNull{mobile}, OrNull{qq}, OrNull{wechat},
        hash ? std::optional(hash->salt) : std::nullopt,
        hash ? std::optional(hash->hash) : std::nullopt,
        hash ? std::optional(hash->iterations) : std::nullopt,
        static_cast<std::int64_t>(std::time(nullptr)));
    const int result = insert.Step();
    if (result != SQLITE_DONE) {
        error = result == SQLITE_CONSTRAINT
                    ? "the mobile or third-party account is taken"
                    : std::string("cannot store the account: ") + sqlite3_errmsg(m_db.get());
        return std::nullopt;
    }
    AccountUser user;
    user.userId = std::to_string(sqlite3_last_insert_rowid(m_db.get()));
    user.nickname = nickname;
    user.mobile = mobile;
    if (provider == Provider::QQ) {
        user.qqId = providerId;
    } else if (provider == Provider::WeChat) {
        user.wechatId = providerId;
    }
    user.hasPassword = !password.empty();
    return user;
}

std::optional<AccountUser> AccountStore::FindWhere(const char* condition,
                                                   const std::string& value) {
    std::lock_guard lock(m_mutex);
    SqlStatement query(m_db.get(),
                       std::string("SELECT ") + kColumns + " FROM account_users WHERE " + condition,
                       value);
    if (query.Step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return ReadUser(query);
}

std::optional<AccountUser> AccountStore::FindById(const std::string& userId) {
    std::int64_t id = 0;
    if (!ParseUserId(userId, id)) {
        return std::nullopt;
    }
    return FindWhere("id = CAST(? AS INTEGER)", std::to_string(id));
}

std::optional<AccountUser> AccountStore::FindByMobile(const std::string& mobile) {
    if (mobile.empty()) {
        return std::nullopt;
    }
    return FindWhere("mobile = ?", mobile);
}

std::optional<AccountUser> AccountStore::FindByProvider(Provider provider,
                                                        const std::string& providerId) {
    if (providerId.empty()) {
        return std::nullopt;
    }
    return FindWhere(provider == Provider::QQ ? "qq = ?" : "wechat = ?", providerId);
}

std::optional<AccountUser> AccountStore::CheckPassword(const std::string& mobile,
                                                       const std::string& password) {
    PasswordHash stored;
    std::optional<AccountUser> user;
    {
        std::lock_guard lock(m_mutex);
        SqlStatement query(m_db.get(),
                           std::string("SELECT ") + kColumns +
                               ", pw_salt, pw_hash, pw_iterations FROM account_users "
                               "WHERE mobile = ?",
                           mobile);
        if (!mobile.empty() && query.Step() == SQLITE_ROW) {
            user = ReadUser(query);
            stored.salt = query.Blob(10);
            stored.hash = query.Blob(11);
            stored.iterations = static_cast<int>(query.Int64(12));
        }
    }
    if (!server::CheckPassword(password, stored)) {
        return std::nullopt;
    }
    return user;
}

bool AccountStore::SetCloudCredentials(const std::string& userId, const std::string& domain,
                                       const std::string& user, const std::string& password,
                                       const std::string& region) {
    std::lock_guard lock(m_mutex);
    SqlStatement update(m_db.get(),
                        "UPDATE account_users SET cloud_domain = ?, cloud_user = ?, "
                        "cloud_password = ?, cloud_region = ? WHERE id = CAST(? AS INTEGER)",
                        domain, user, password, region, userId);
    return update.Step() == SQLITE_DONE && sqlite3_changes(m_db.get()) == 1;
}

bool AccountStore::StoreToken(const std::string& userId, const std::string& token,
                              std::int64_t expiresAt) {
    std::lock_guard lock(m_mutex);
    SqlStatement update(m_db.get(),
                        "UPDATE account_users SET token_hash = ?, token_expires = ? "
                        "WHERE id = CAST(? AS INTEGER)",
                        TokenDigest(token), expiresAt, userId);
    return update.Step() == SQLITE_DONE && sqlite3_changes(m_db.get()) == 1;
}

TokenResult AccountStore::CheckToken(const std::string& userId, const std::string& token,
                                     std::int64_t now) {
    std::int64_t id = 0;
    if (token.empty() || !ParseUserId(userId, id)) {
        return TokenResult::Unknown;
    }
    std::lock_guard lock(m_mutex);
    SqlStatement query(m_db.get(),
                       "SELECT token_hash, token_expires FROM account_users WHERE id = ?", id);
    if (query.Step() != SQLITE_ROW) {
        return TokenResult::Unknown;
    }
    const std::string stored = query.Text(0);
    const std::string given = TokenDigest(token);
    if (stored.size() != given.size() ||
        CRYPTO_memcmp(stored.data(), given.data(), given.size()) != 0) {
        return TokenResult::Unknown;
    }
    return query.Int64(1) > now ? TokenResult::Valid : TokenResult::Expired;
}

bool AccountStore::BindMobile(const std::string& userId, const std::string& mobile,
                              std::string& error) {
    std::lock_guard lock(m_mutex);
    SqlStatement update(m_db.get(),
                        "UPDATE account_users SET mobile = ? WHERE id = CAST(? AS INTEGER) AND "
                        "mobile IS NULL",
                        mobile, userId);
    const int result = update.Step();
    if (result != SQLITE_DONE || sqlite3_changes(m_db.get()) != 1) {
        error = result == SQLITE_CONSTRAINT ? "the mobile is taken" : "the account cannot be bound";
        return false;
    }
    return true;
}

bool AccountStore::MergeInto(const std::string& fromId, const std::string& intoId,
                             std::string& error) {
    std::lock_guard lock(m_mutex);
    SqlTransaction transaction(m_db.get());
    if (!transaction.Begun()) {
        error = std::string("cannot link the accounts: ") + sqlite3_errmsg(m_db.get());
        return false;
    }
    std::string qq, wechat;
    {
        SqlStatement query(m_db.get(),
                           "SELECT qq, wechat FROM account_users WHERE id = CAST(? AS INTEGER)",
                           fromId);
        if (query.Step() != SQLITE_ROW) {
            error = "no account " + fromId;
            return false;
        }
        qq = query.Text(0);
        wechat = query.Text(1);
    }
    // The ids are unique: free them on the old row before the new one takes them.
    bool ok =
        SqlStatement(m_db.get(), "DELETE FROM account_users WHERE id = CAST(? AS INTEGER)", fromId)
            .Step() == SQLITE_DONE;
    if (ok) {
        SqlStatement update(m_db.get(),
                            "UPDATE account_users SET qq = COALESCE(?, qq), "
                            "wechat = COALESCE(?, wechat) WHERE id = CAST(? AS INTEGER)",
                            OrNull{qq}, OrNull{wechat}, intoId);
        ok = update.Step() == SQLITE_DONE && sqlite3_changes(m_db.get()) == 1;
    }
    if (!ok || !transaction.Commit()) {
        error = std::string("cannot link the accounts: ") + sqlite3_errmsg(m_db.get());
        return false;
    }
    return true;
}

}  // namespace kelsor::server::account
