#pragma once

#include "server/CloudUserStore.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace kelsor::server {

struct IssuedToken {
    std::string token;
    CloudUser user;
    std::chrono::system_clock::time_point issuedAt;
    std::chrono::system_clock::time_point expiresAt;
};

enum class TokenCheck { Missing, Unknown, Expired, Valid };

// Identity tokens held in memory: 256 random bits each, valid for the
// configured time. Safe to use from several threads.
class TokenStore {
public:
    explicit TokenStore(std::chrono::seconds ttl) : m_ttl(ttl) {}
    // Nothing when no random token can be had.
    std::optional<IssuedToken> Issue(const CloudUser& user);
    TokenCheck Check(const std::string& token, IssuedToken& found);

private:
    void PurgeExpired(std::chrono::system_clock::time_point now);

    std::chrono::seconds m_ttl;
    std::mutex m_mutex;
    std::unordered_map<std::string, IssuedToken> m_tokens;
};

// "2026-12-08T07:51:13.000000Z"
std::string IsoTime(std::chrono::system_clock::time_point time);

}  // namespace kelsor::server
