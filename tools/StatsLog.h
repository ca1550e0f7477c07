#pragma once

#include <json/value.h>

#include <cstddef>
#include <string>
#include <vector>

// The statistics program's log in the data folder: "KelsorOCRStats.log"
// holds the events not yet delivered, one JSON object a line, oldest first;
// "KelsorOCRStats.id" the anonymous installation id. Every change happens
// under an exclusive lock on "KelsorOCRStats.lock", so two runs at once (the
// start-up and the converter events) neither lose nor repeat a line.
namespace kelsor::tools {

class StatsLog {
public:
    explicit StatsLog(std::string folder);  // with its trailing "/"
    ~StatsLog();
    StatsLog(const StatsLog&) = delete;
    StatsLog& operator=(const StatsLog&) = delete;

    // Waits for the lock; held until the object goes.
    bool Lock(std::string& error);
    // 32 random hexadecimal digits made once per data folder. Knows nothing
    // of the user: it only tells installations apart.
    bool InstallId(std::string& id, std::string& error);
    // Adds one line and flushes it to disk.
    bool Append(const Json::Value& event, std::string& error);
    // The undelivered lines, oldest first.
    std::vector<std::string> Pending() const;
    // Forgets the `count` oldest lines (written anew, then renamed over).
    bool DropOldest(std::size_t count, std::string& error);

    std::string logPath() const { return m_folder + "KelsorOCRStats.log"; }

private:
    std::string m_folder;
    int m_lockFd = -1;
};

// 2 * `bytes` random lower-case hexadecimal digits.
std::string RandomHex(std::size_t bytes);

// Reads one line of the log as an event record (a JSON object); false for
// anything else, whatever the line holds.
bool ReadStatsEvent(const std::string& line, Json::Value& event);

// One event record: its own id, the UTC time, version, channel, install id.
Json::Value MakeStatsEvent(const std::string& event, const std::string& version,
                           const std::string& channel, const std::string& installId);

}  // namespace kelsor::tools
