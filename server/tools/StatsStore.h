#pragma once

#include <json/value.h>
#include "server/SqlStatement.h"

#include <map>
#include <mutex>
#include <string>

// The statistics service's events: one row per event the statistics program
// reported, keyed by the event's own id so that a batch sent twice (its reply
// lost on the way) counts once.
namespace kelsor::server::tools {

// What one batch did: events stored now, events already stored, events
// dropped as malformed. The sender forgets every event of an answered batch.
struct StatsBatchResult {
    int added = 0;
    int repeated = 0;
    int rejected = 0;
};

class StatsStore {
public:
    bool Open(const std::string& databasePath, std::string& error);
    // Stores the events of `events` (a JSON array of event objects).
    StatsBatchResult Record(const Json::Value& events);
    // Events per name, and the number of distinct installations.
    std::map<std::string, long long> CountsByEvent();
    long long Installations();

    // The event names the statistics program reports.
    static bool KnownEvent(const std::string& name);

private:
    std::mutex m_mutex;
    SqlDatabase m_db;
};

}  // namespace kelsor::server::tools
