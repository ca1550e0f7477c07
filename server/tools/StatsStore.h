#pragma once

#include <json/value.h>
#include "server/SqlStatement.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

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
    bool limited = false;  // refused whole: too many events of late; nothing stored
};

// Anyone may post events, so a minute takes at most `perInstall` events of
// one installation id, `perPeer` events from one network address (a sender
// can make up installation ids, not addresses) and `all` events in total; a
// batch that would pass any of them is refused whole, and its sender keeps it
// for a later run.
class StatsInsertLimit {
public:
    using Clock = std::chrono::steady_clock;
    StatsInsertLimit(int perInstall, int perPeer, int all)
        : m_perInstall(perInstall), m_perPeer(perPeer), m_all(all) {}
    // Counts the batch (installation id -> its events) sent from `peer` (as
    // StatsPeer gives it) unless it passes a limit.
    bool Admit(const std::map<std::string, int>& batch, const std::string& peer,
               Clock::time_point now);

private:
    struct Window {
        Clock::time_point start;
        int count = 0;
    };
    int m_perInstall;
    int m_perPeer;
    int m_all;
    Window m_total;
    std::unordered_map<std::string, Window> m_byInstall;
    std::unordered_map<std::string, Window> m_byPeer;
};

// The sender a client's address stands for: an IPv4 address (also when
// written as IPv6), or the /64 network of an IPv6 address, which one host
// usually has whole.
std::string StatsPeer(const std::string& address);

class StatsStore {
public:
    bool Open(const std::string& databasePath, std::string& error);
    // Stores the events of `events` (a JSON array of event objects) sent
    // from the address `peer`, unless the batch passes the insert limit.
    StatsBatchResult Record(const Json::Value& events, const std::string& peer);
    // Events per name, and the number of distinct installations.
    std::map<std::string, long long> CountsByEvent();
    long long Installations();

    // The event names the statistics program reports.
    static bool KnownEvent(const std::string& name);

private:
    std::mutex m_mutex;
    SqlDatabase m_db;
    // One installation's few events, a few hundred installations behind one
    // address, and the whole service's share of the database.
    StatsInsertLimit m_limit{120, 600, 3000};
};

}  // namespace kelsor::server::tools
