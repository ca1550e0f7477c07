#include "server/CloudUserStore.h"

#include "server/HexText.h"
#include "server/SqlStatement.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <vector>

namespace kelsor::server {
namespace {

constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kHashSize = 32;

// Stable ids derived from names, so one domain or project has one id.
std::string NameId(const std::string& kind, const std::string& name) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    const std::string text = kind + ":" + name;
    SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    return HexText(digest, 16);
}

std::vector<unsigned char> Pbkdf2(const std::string& password, const unsigned char* salt,
                                  std::size_t saltSize, int iterations) {
    std::vector<unsigned char> hash(kHashSize);
    PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt,
                      static_cast<int>(saltSize), iterations, EVP_sha256(),
                      static_cast<int>(hash.size()), hash.data());
    return hash;
}

}  // namespace

std::optional<PasswordHash> HashPassword(const std::string& password) {
    PasswordHash result;
    result.salt.resize(kSaltSize);
    if (RAND_bytes(result.salt.data(), static_cast<int>(result.salt.size())) != 1) {
        return std::nullopt;
    }
    result.hash = Pbkdf2(password, result.salt.data(), result.salt.size(), result.iterations);
    return result;
}

bool CheckPassword(const std::string& password, const PasswordHash& stored) {
    const bool known = !stored.hash.empty() && !stored.salt.empty() && stored.iterations > 0;
    const std::vector<unsigned char> zeroSalt(kSaltSize, 0);
    const std::vector<unsigned char>& salt = known ? stored.salt : zeroSalt;
    const std::vector<unsigned char> hash =
        Pbkdf2(password, salt.data(), salt.size(),
               known ? stored.iterations : CloudUserStore::kHashIterations);
    return known && hash.size() == stored.hash.size() &&
           CRYPTO_memcmp(hash.data(), stored.hash.data(), hash.size()) == 0;
}

std::optional<std::string> RandomHex(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    if (RAND_bytes(bytes.data(), static_cast<int>(size)) != 1) {
        return std::nullopt;
    }
    return HexText(bytes.data(), size);
}

bool CloudUserStore::Open(const std::string& databasePath, std::string& error) {
    std::lock_guard lock(m_mutex);
    const char* schema =
        "CREATE TABLE IF NOT EXISTS cloud_users ("
        " domain TEXT NOT NULL, name TEXT NOT NULL, user_id TEXT NOT NULL,"
        " salt BLOB NOT NULL, hash BLOB NOT NULL, iterations INTEGER NOT NULL,"
        " project TEXT NOT NULL, PRIMARY KEY (domain, name))";
    return OpenDatabase(databasePath, schema, "cloud user table", m_db, error);
}

bool CloudUserStore::AddUser(const std::string& domainName, const std::string& userName,
                             const std::string& password, const std::string& projectName,
                             CloudUser& added, std::string& error) {
    if (domainName.empty() || userName.empty() || password.empty() || projectName.empty()) {
        error = "domain, user, password and project must not be empty";
        return false;
    }
    const std::optional<PasswordHash> hashed = HashPassword(password);
    const std::optional<std::string> userId = RandomHex(16);
    if (!hashed || !userId) {
        error = "no random bytes for the user's salt and id";
        return false;
    }
    added = {domainName,  NameId("domain", domainName),
             userName,    *userId,
             projectName, NameId("project", domainName + "/" + projectName)};

    std::lock_guard lock(m_mutex);
    SqlStatement insert(m_db.get(),
                        "INSERT INTO cloud_users (domain, name, user_id, salt, hash, iterations, "
                        "project) VALUES (?, ?, ?, ?, ?, ?, ?)",
                        domainName, userName, added.userId, hashed->salt, hashed->hash,
                        hashed->iterations, projectName);
    const int result = insert.Step();
    if (result != SQLITE_DONE) {
        error = result == SQLITE_CONSTRAINT
                    ? "user " + userName + " already exists in domain " + domainName
                    : std::string("cannot store the user: ") + sqlite3_errmsg(m_db.get());
        return false;
    }
    return true;
}

bool CloudUserStore::HasUser(const std::string& domainName, const std::string& userName) {
    std::lock_guard lock(m_mutex);
    SqlStatement query(m_db.get(), "SELECT 1 FROM cloud_users WHERE domain = ? AND name = ?",
                       domainName, userName);
    return query.Step() == SQLITE_ROW;
}

std::optional<CloudUser> CloudUserStore::Verify(const std::string& domainName,
                                                const std::string& userName,
                                                const std::string& password) {
    PasswordHash stored;
    CloudUser user;
    {
        std::lock_guard lock(m_mutex);
        SqlStatement query(m_db.get(),
                           "SELECT user_id, salt, hash, iterations, project FROM cloud_users "
                           "WHERE domain = ? AND name = ?",
                           domainName, userName);
        if (query.Step() == SQLITE_ROW) {
            user = {domainName,    NameId("domain", domainName),
                    userName,      query.Text(0),
                    query.Text(4), ""};
            stored.salt = query.Blob(1);
            stored.hash = query.Blob(2);
            stored.iterations = static_cast<int>(query.Int64(3));
        }
    }
    // An unknown user costs the same hash, so timing does not tell names apart.
    if (!CheckPassword(password, stored)) {
        return std::nullopt;
    }
    user.projectId = NameId("project", domainName + "/" + user.projectName);
    return user;
}

}  // namespace kelsor::server
