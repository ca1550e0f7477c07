#pragma once

#include "server/SqlStatement.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kelsor::server {

// A cloud (IAM) user as the identity service reports it.
struct CloudUser {
    std::string domainName;
    std::string domainId;
    std::string userName;
    std::string userId;
    std::string projectName;
    std::string projectId;
};

// Cloud users in SQLite. Passwords are stored as salted PBKDF2-HMAC-SHA256
// hashes, never as text. Safe to use from several threads.
class CloudUserStore {
public:
#ifdef KELSOR_SERVER_HASH_ITERATIONS
    // Fuzzing builds lower the cost so that sign-in bodies stay cheap to try.
    static constexpr int kHashIterations = KELSOR_SERVER_HASH_ITERATIONS;
#else
    static constexpr int kHashIterations = 100000;
#endif

    bool Open(const std::string& databasePath, std::string& error);
    // Adds a user; fails when the domain already has a user of that name or
    // when no random salt or id can be had.
    bool AddUser(const std::string& domainName, const std::string& userName,
                 const std::string& password, const std::string& projectName, CloudUser& added,
                 std::string& error);
    bool HasUser(const std::string& domainName, const std::string& userName);
    // The user when domain, name and password match.
    std::optional<CloudUser> Verify(const std::string& domainName, const std::string& userName,
                                    const std::string& password);

private:
    SqlDatabase m_db;
    std::mutex m_mutex;
};

// A salted PBKDF2-HMAC-SHA256 password hash, the form every stored password
// of the service takes.
struct PasswordHash {
    std::vector<unsigned char> salt;
    std::vector<unsigned char> hash;
    int iterations = CloudUserStore::kHashIterations;
};
// Nothing when no random salt can be had: never a predictable one.
std::optional<PasswordHash> HashPassword(const std::string& password);
// Constant-time comparison; an empty stored hash never matches but still
// costs one hash, so timing does not tell missing passwords apart.
bool CheckPassword(const std::string& password, const PasswordHash& stored);

// Lower-case hex of `size` random bytes; nothing when the system cannot
// provide them (tokens, codes and salts fail closed, never predictable).
std::optional<std::string> RandomHex(std::size_t size);

}  // namespace kelsor::server
