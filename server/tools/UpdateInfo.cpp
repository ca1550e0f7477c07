#include "server/tools/UpdateInfo.h"

#include "server/JsonReply.h"
#include "server/account/CompanionInstaller.h"

#include <filesystem>
#include <regex>

namespace kelsor::server::tools {
namespace {

bool TakeEntry(const Json::Value& entry, const std::string& dataDir, UpdateOffer& offer,
               std::string& error) {
    static const std::regex kVersion("[0-9]{1,9}(\\.[0-9]{1,9}){0,3}");
    if (!entry.isObject() || !entry["version"].isString() ||
        !std::regex_match(entry["version"].asString(), kVersion) ||
        (entry.isMember("package") && !entry["package"].isString())) {
        error = "update.json: an entry needs \"version\" (1 to 4 numbers) and may name a package";
        return false;
    }
    offer.version = entry["version"].asString();
    offer.packagePath = entry.get("package", "").asString();
    if (!offer.packagePath.empty() && std::filesystem::path(offer.packagePath).is_relative()) {
        offer.packagePath = dataDir + "/" + offer.packagePath;
    }
    return true;
}

}  // namespace

bool FindUpdateOffer(const std::string& dataDir, const std::string& channel, UpdateOffer& offer,
                     std::string& error) {
    std::string text;
    if (!account::ReadWholeFile(dataDir + "/update.json", text, error)) {
        error.clear();
#ifdef KELSOR_PROJECT_VERSION
        offer = {KELSOR_PROJECT_VERSION, {}};
#else
        offer = {"0", {}};
#endif
        return true;
    }
    Json::Value config;
    if (!ParseJsonObject(text, config)) {
        error = "update.json is not a JSON object";
        return false;
    }
    const Json::Value& channels = config["channels"];
    if (channels.isObject() && channels.isMember(channel)) {
        return TakeEntry(channels[channel], dataDir, offer, error);
    }
    return TakeEntry(config, dataDir, offer, error);
}

}  // namespace kelsor::server::tools
