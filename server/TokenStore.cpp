#include "server/TokenStore.h"

#include <ctime>

namespace kelsor::server {

std::string IsoTime(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[40];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    return buffer;
}

std::optional<IssuedToken> TokenStore::Issue(const CloudUser& user) {
    std::optional<std::string> token = RandomHex(32);
    if (!token) {
        return std::nullopt;
    }
    const auto now = std::chrono::system_clock::now();
    IssuedToken issued{std::move(*token), user, now, now + m_ttl};
    std::lock_guard lock(m_mutex);
    if (m_tokens.size() >= 1024) {
        PurgeExpired(now);
    }
    m_tokens[issued.token] = issued;
    return issued;
}

TokenCheck TokenStore::Check(const std::string& token, IssuedToken& found) {
    if (token.empty()) {
        return TokenCheck::Missing;
    }
    std::lock_guard lock(m_mutex);
    const auto it = m_tokens.find(token);
    if (it == m_tokens.end()) {
        return TokenCheck::Unknown;
    }
    if (std::chrono::system_clock::now() >= it->second.expiresAt) {
        return TokenCheck::Expired;
    }
    found = it->second;
    return TokenCheck::Valid;
}

void TokenStore::PurgeExpired(std::chrono::system_clock::time_point now) {
    std::erase_if(m_tokens, [now](const auto& entry) { return now >= entry.second.expiresAt; });
}

}  // namespace kelsor::server
