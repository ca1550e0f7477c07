#include "server/tools/StatsStore.h"

#include "server/SqlStatement.h"

#include <chrono>
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

}  // namespace

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

StatsBatchResult StatsStore::Record(const Json::Value& events) {
    StatsBatchResult result;
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    std::lock_guard lock(m_mutex);
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
