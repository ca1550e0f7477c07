#pragma once

#include <string>
#include <vector>

namespace kelsor::tools {

// The events the client reports and the switches that name them.
// Returns the event name, or empty for an unknown switch.
std::string StatsEventForSwitch(const std::wstring& commandSwitch);

// KelsorOCRStats: records the event its switch names in the log, then sends
// the oldest undelivered events (at most kMaxEventsPerRun) to the account
// service and forgets them once the service has answered. Exit codes: 0 the
// event is recorded (sent now or kept for the next run), 1 it could not be
// recorded, 2 a missing or unknown switch.
int RunStats(const std::vector<std::wstring>& arguments);

inline constexpr std::size_t kMaxEventsPerRun = 100;

}  // namespace kelsor::tools
