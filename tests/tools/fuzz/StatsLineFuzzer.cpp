// libFuzzer target over the statistics program's log reader: the input is a
// log, each line read as an event record and put into the batch it sends.
// Run with scripts/fuzz.sh tools_statsline_fuzzer.
#include <json/value.h>
#include <json/writer.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "tools/StatsLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream log(std::string(reinterpret_cast<const char*>(data), size));
    Json::Value batch(Json::arrayValue);
    for (std::string line; std::getline(log, line);) {
        Json::Value event;
        if (kelsor::tools::ReadStatsEvent(line, event)) {
            if (!event.isObject()) {
                __builtin_trap();  // only records travel
            }
            batch.append(event);
        }
    }
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    (void)Json::writeString(writer, batch);
    return 0;
}
