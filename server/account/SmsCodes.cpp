#include "server/account/SmsCodes.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

namespace kelsor::server::account {

std::optional<std::string> SmsCodes::Issue(const std::string& mobile, const std::string& scene,
                                           TimePoint now) {
    unsigned char bytes[4];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        return std::nullopt;
    }
    const std::uint32_t value = (std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                                 std::uint32_t{bytes[2]} << 8 | bytes[3]) %
                                1000000;
    std::string code = std::to_string(value);
    code.insert(0, 6 - code.size(), '0');
    std::lock_guard lock(m_mutex);
    // Drop old entries now and then so the map does not grow without bound.
    for (auto it = m_codes.begin(); it != m_codes.end();) {
        it = it->second.expiresAt <= now ? m_codes.erase(it) : std::next(it);
    }
    m_codes[{mobile, scene}] = Entry{code, now + kLifetime, 0};
    return code;
}

CodeCheck SmsCodes::Check(const std::string& mobile, const std::string& scene,
                          const std::string& code, TimePoint now) {
    std::lock_guard lock(m_mutex);
    const auto it = m_codes.find({mobile, scene});
    if (it == m_codes.end()) {
        return CodeCheck::Wrong;
    }
    if (it->second.expiresAt <= now) {
        m_codes.erase(it);
        return CodeCheck::Expired;
    }
    if (code.size() != it->second.code.size() ||
        CRYPTO_memcmp(code.data(), it->second.code.data(), code.size()) != 0) {
        if (++it->second.wrongTries >= kMaxWrongTries) {
            m_codes.erase(it);
        }
        return CodeCheck::Wrong;
    }
    return CodeCheck::Valid;
}

void SmsCodes::Consume(const std::string& mobile, const std::string& scene) {
    std::lock_guard lock(m_mutex);
    m_codes.erase({mobile, scene});
}

}  // namespace kelsor::server::account
