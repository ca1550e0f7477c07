#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace kelsor::server::account {

enum class CodeCheck { Valid, Wrong, Expired };

// Verification codes per mobile and scene, held in memory. A new request
// replaces the older code; a code is good for one successful use, and a few
// wrong guesses use it up so that six digits cannot be tried through.
class SmsCodes {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    static constexpr std::chrono::minutes kLifetime{10};
    static constexpr int kMaxWrongTries = 5;

    // A fresh six-digit code; nothing when no random bytes can be had.
    std::optional<std::string> Issue(const std::string& mobile, const std::string& scene,
                                     TimePoint now);
    // Checks without using the code up.
    CodeCheck Check(const std::string& mobile, const std::string& scene, const std::string& code,
                    TimePoint now);
    void Consume(const std::string& mobile, const std::string& scene);

private:
    struct Entry {
        std::string code;
        TimePoint expiresAt;
        int wrongTries = 0;
    };
    std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, Entry> m_codes;
};

}  // namespace kelsor::server::account
