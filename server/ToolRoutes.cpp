#include "server/Routes.h"

#include "server/JsonReply.h"
#include "server/KelsorServer.h"
#include "server/account/AccountApi.h"
#include "server/tools/FileDownload.h"
#include "server/tools/StatsStore.h"
#include "server/tools/UpdateInfo.h"

#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace kelsor::server {
namespace {

using account::ApiReply;

constexpr Json::ArrayIndex kMaxEventsPerBatch = 100;
constexpr const char* kUpdateDownloadPrefix = "/download/update/";

void SetReply(httplib::Response& response, const ApiReply& reply) {
    response.status = 200;
    response.set_header("Cache-Control", "no-store");
    response.set_content(WriteJson(reply.ToJson()), "application/json; charset=utf-8");
}

ApiReply RecordEvents(tools::StatsStore& store, const std::string& body, const std::string& peer) {
    Json::Value request;
    if (!ParseJsonObject(body, request) || !request["events"].isArray() ||
        request["events"].size() > kMaxEventsPerBatch) {
        return ApiReply::Failure("400", "请求格式不正确");
    }
    const tools::StatsBatchResult result = store.Record(request["events"], peer);
    if (result.limited) {
        LogLine("stats batch from " + peer + " refused: over the insert limit");
        return ApiReply::Failure("429", "请求过于频繁，请稍后再试");
    }
    LogLine("stats " + std::to_string(result.added) + " new, " + std::to_string(result.repeated) +
            " repeated, " + std::to_string(result.rejected) + " rejected");
    ApiReply reply;
    reply.data["added"] = result.added;
    reply.data["repeated"] = result.repeated;
    reply.data["rejected"] = result.rejected;
    return reply;
}

ApiReply Counts(tools::StatsStore& store) {
    ApiReply reply;
    for (const auto& [event, count] : store.CountsByEvent()) {
        reply.data["events"][event] = static_cast<Json::Int64>(count);
    }
    reply.data["installations"] = static_cast<Json::Int64>(store.Installations());
    return reply;
}

ApiReply NewestVersion(tools::PackageDigests& digests, const std::string& dataDir,
                       const std::string& channel, const std::string& origin) {
    tools::UpdateOffer offer;
    std::string error;
    if (!tools::FindUpdateOffer(dataDir, channel, offer, error)) {
        LogLine(error);
        return ApiReply::Failure("500", "更新信息暂不可用");
    }
    ApiReply reply;
    reply.data["version"] = offer.version;
    tools::PackageFacts facts;
    if (!offer.packagePath.empty() && digests.Describe(offer.packagePath, facts, error)) {
        reply.data["dlurl"] = origin + kUpdateDownloadPrefix + channel;
        reply.data["md5"] = facts.md5;
        reply.data["size"] = static_cast<Json::UInt64>(facts.size);
        reply.data["name"] = std::filesystem::path(offer.packagePath).filename().string();
    } else {
        reply.data["dlurl"] = "";
        reply.data["md5"] = "";
    }
    return reply;
}

void ServePackage(const std::string& dataDir, const std::string& channel,
                  tools::DownloadSlots& downloads, httplib::Response& response) {
    tools::UpdateOffer offer;
    std::string error;
    if (!tools::FindUpdateOffer(dataDir, channel, offer, error) || offer.packagePath.empty() ||
        !tools::ServeFileDownload(offer.packagePath,
                                  std::filesystem::path(offer.packagePath).filename().string(),
                                  downloads, response)) {
        response.status = 404;  // the error handler writes the body
    }
}

}  // namespace

void RegisterToolRoutes(httplib::Server& server, ServerContext& context) {
    auto stats = std::make_shared<tools::StatsStore>();
    std::string error;
    if (!stats->Open(context.databasePath, error)) {
        LogLine("statistics not stored: " + error);
        stats.reset();
    }
    const auto unavailable = [](httplib::Response& response) {
        SetReply(response, ApiReply::Failure("503", "统计服务暂不可用"));
    };
    server.Post("/api/v3/stats/ocr/events", [stats, unavailable](const httplib::Request& request,
                                                                 httplib::Response& response) {
        stats ? SetReply(response, RecordEvents(*stats, request.body, request.remote_addr))
              : unavailable(response);
    });
    server.Get("/api/v3/stats/ocr/counts",
               [stats, unavailable](const httplib::Request&, httplib::Response& response) {
                   stats ? SetReply(response, Counts(*stats)) : unavailable(response);
               });
    const std::string dataDir = context.options.dataDir;
    auto digests = std::make_shared<tools::PackageDigests>();
    server.Get(R"(/api/v3/update/ocr/ver/[^/]+/channel/([0-9A-Za-z_-]{1,40}))",
               [dataDir, digests](const httplib::Request& request, httplib::Response& response) {
                   SetReply(response, NewestVersion(*digests, dataDir, request.matches[1],
                                                    account::RequestOrigin(request)));
               });
    server.Get(std::string(kUpdateDownloadPrefix) + "([0-9A-Za-z_-]{1,40})",
               [dataDir, downloads = context.downloads](const httplib::Request& request,
                                                        httplib::Response& response) {
                   ServePackage(dataDir, request.matches[1], *downloads, response);
               });
}

}  // namespace kelsor::server
