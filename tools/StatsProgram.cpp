#include "tools/StatsProgram.h"

#include <cstdio>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "tools/StatsLog.h"
#include "tools/ToolContext.h"
#include "tools/ToolHttp.h"

namespace kelsor::tools {
namespace {

// Sends the oldest lines; returns how many the service has taken (0 when it
// could not be reached). Lines that are not JSON are counted as taken: they
// would block the log for ever.
std::size_t SendOldest(const std::vector<std::string>& lines, std::string& error) {
    const std::size_t count = std::min(lines.size(), kMaxEventsPerRun);
    Json::Value body;
    body["events"] = Json::arrayValue;
    for (std::size_t i = 0; i < count; ++i) {
        Json::Value event;
        if (ReadStatsEvent(lines[i], event))
            body["events"].append(event);
    }
    Json::Value reply;
    const std::string url = WideToAnsi(ApiBase()) + "/api/v3/stats/ocr/events";
    return FetchJson(url, &body, reply, error) ? count : 0;
}

}  // namespace

std::string StatsEventForSwitch(const std::wstring& commandSwitch) {
    if (commandSwitch == L"-KSOCRStartUp")
        return "startup";
    if (commandSwitch == L"-KSOCRPDFDL")
        return "pdfdl";
    return {};
}

int RunStats(const std::vector<std::wstring>& arguments) {
    const std::string event = arguments.size() == 1 ? StatsEventForSwitch(arguments[0]) : "";
    if (event.empty()) {
        std::fprintf(stderr, "usage: KelsorOCRStats -KSOCRStartUp | -KSOCRPDFDL\n");
        return 2;
    }
    BuildToolContext();
    StatsLog log(WideToAnsi(App().dataFolder));
    std::string installId, error;
    if (!log.Lock(error) || !log.InstallId(installId, error) ||
        !log.Append(MakeStatsEvent(event, WideToAnsi(App().versionText), WideToAnsi(App().channel),
                                   installId),
                    error)) {
        std::fprintf(stderr, "KelsorOCRStats: %s\n", error.c_str());
        return 1;
    }
    const std::vector<std::string> pending = log.Pending();
    const std::size_t sent = SendOldest(pending, error);
    if (sent == 0) {
        std::fprintf(stderr, "KelsorOCRStats: not sent (%s); %zu event(s) kept for the next run\n",
                     error.c_str(), pending.size());
        return 0;
    }
    if (!log.DropOldest(sent, error)) {
        std::fprintf(stderr, "KelsorOCRStats: %s\n", error.c_str());
        return 1;
    }
    std::printf("KelsorOCRStats: sent %zu event(s), %zu kept\n", sent, pending.size() - sent);
    return 0;
}

}  // namespace kelsor::tools
