#include "server/tools/StatsStore.h"

#include "server/SqlStatement.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <regex>

namespace kelsor::server::tools {
namespace {

// Short printable fields; the id and the installation id are hexadecimal.
bool ValidEvent(const Json::Value& event) {
    static const std::regex kHex("[0-9a-f]{16,64}");
    static const std::regex kField("[0-9A-Za-z.:+_-]{0,40}");
    const auto text = [&event](const char* key) {
        return event.isObject() && event[key].isString() ? event[key].asString() : std::string();
    };
    return std::regex_match(text("id"), kHex) && std::regex_match(text("installid"), kHex) &&
           StatsStore::KnownEvent(text("event")) && !text("time").empty() &&
           std::regex_match(text("time"), kField) && std::regex_match(text("version"), kField) &&
           std::regex_match(text("channel"), kField);
}

constexpr auto kLimitWindow = std::chrono::minutes(1);

}  // namespace

bool StatsInsertLimit::Admit(const std::map<std::string, int>& batch, const std::string& peer,
                             Clock::time_point now) {
    // Each window starts with its first event and lasts a minute.
    const auto fresh = [now](Window& window) {
        if (now - window.start >= kLimitWindow) {
            window = {now, 0};
        }
    };
    fresh(m_total);
    const auto over = [now](const auto& entry) { return now - entry.second.start >= kLimitWindow; };
    std::erase_if(m_byInstall, over);
    std::erase_if(m_byPeer, over);
    int total = 0;
    for (const auto& [installId, count] : batch) {
        const auto known = m_byInstall.find(installId);
        if ((known != m_byInstall.end() ? known->second.count : 0) + count > m_perInstall) {
            return false;
        }
        total += count;
    }
    const auto sent = m_byPeer.find(peer);
    if (m_total.count + total > m_all ||
        (sent != m_byPeer.end() ? sent->second.count : 0) + total > m_perPeer) {
        return false;
    }
    m_total.count += total;
    m_byPeer.try_emplace(peer, Window{now, 0}).first->second.count += total;
    for (const auto& [installId, count] : batch) {
        m_byInstall.try_emplace(installId, Window{now, 0}).first->second.count += count;
    }
    return true;
}

std::string StatsPeer(const std::string& address) {
    in6_addr v6{};
    if (::inet_pton(AF_INET6, address.c_str(), &v6) != 1) {
        return address;  // IPv4, or not an address at all
    }
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        char v4[INET_ADDRSTRLEN] = {};
        return ::inet_ntop(AF_INET, &v6.s6_addr[12], v4, sizeof v4) != nullptr ? v4 : address;
    }
    std::fill(std::begin(v6.s6_addr) + 8, std::end(v6.s6_addr), 0);
    char network[INET6_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET6, &v6, network, sizeof network) != nullptr
               ? std::string(network) + "/64"
               : address;
}

bool StatsStore::KnownEvent(const std::string& name) {
    return name == "startup" || name == "pdfdl";
}

bool StatsStore::Open(const std::string& databasePath, std::string& error) {
    std::lock_guard lock(m_mutex);
    return OpenDatabase(databasePath,
                        "CREATE TABLE IF NOT EXISTS stat_events ("
                        " id TEXT PRIMARY KEY, event TEXT NOT NULL, time TEXT NOT NULL,"
                        " version TEXT NOT NULL, channel TEXT NOT NULL, install_id TEXT NOT NULL,"
                        " received INTEGER NOT NULL);",
                        "statistics table", m_db, error);
}

StatsBatchResult StatsStore::Record(const Json::Value& events, const std::string& peer) {
    StatsBatchResult result;
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    std::lock_guard lock(m_mutex);
    std::map<std::string, int> byInstall;
    for (const Json::Value& event : events) {
        if (ValidEvent(event)) {
            ++byInstall[event["installid"].asString()];
        }
    }
    if (!m_limit.Admit(byInstall, StatsPeer(peer), StatsInsertLimit::Clock::now())) {
        result.limited = true;
        return result;
    }
    for (const Json::Value& event : events) {
        if (!ValidEvent(event)) {
            ++result.rejected;
            continue;
        }
        SqlStatement insert(m_db.get(),
                            "INSERT OR IGNORE INTO stat_events (id, event, time, version, channel,"
                            " install_id, received) VALUES (?, ?, ?, ?, ?, ?, ?)",
                            event["id"].asString(), event["event"].asString(),
                            event["time"].asString(), event["version"].asString(),
                            event["channel"].asString(), event["installid"].asString(),
                            static_cast<std::int64_t>(now));
        if (insert.Step() != SQLITE_DONE) {
            ++result.rejected;
        } else if (sqlite3_changes(m_db.get()) == 0) {
            ++result.repeated;
        } else {
            ++result.added;
        }
    }
    return result;
}

std::map<std::string, long long> StatsStore::CountsByEvent() {
    std::map<std::string, long long> counts{{"startup", 0}, {"pdfdl", 0}};
    std::lock_guard lock(m_mutex);
    SqlStatement query(m_db.get(), "SELECT event, COUNT(*) FROM stat_events GROUP BY event");
    while (query.Step() == SQLITE_ROW) {
        counts[query.Text(0)] = query.Int64(1);
    }
    return counts;
}

long long StatsStore::Installations() {
    std::lock_guard lock(m_mutex);
    SqlStatement query(m_db.get(), "SELECT COUNT(DISTINCT install_id) FROM stat_events");
    return query.Step() == SQLITE_ROW ? query.Int64(0) : 0;
}

}  // namespace kelsor::server::tools
