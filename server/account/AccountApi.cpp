#include "server/account/AccountApi.h"

#include "server/JsonReply.h"
#include "server/account/CompanionInstaller.h"

#include <httplib.h>

#include <regex>

namespace kelsor::server::account {
namespace {

void SetReply(httplib::Response& response, const ApiReply& reply) {
    response.status = 200;
    response.set_header("Cache-Control", "no-store");
    response.set_content(WriteJson(reply.ToJson()), "application/json; charset=utf-8");
}

ApiReply SoftwareInfo(const ServerOptions& options, const std::string& origin) {
    std::string bytes, error;
    if (!ReadWholeFile(CompanionInstallerPath(options), bytes, error)) {
        return ApiReply::Failure("404", "转换器安装包暂不可用");
    }
    ApiReply reply;
    reply.data["sp"] = "1.0";
    reply.data["pdfname"] = kCompanionName;
    reply.data["pdfparam"] = kCompanionParameters;
    reply.data["pdfdlurl"] = origin + kCompanionDownloadPath;
    reply.data["pdfmd5"] = Md5Hex(bytes);
    return reply;
}

}  // namespace

ApiReply AnswerApiPost(AccountService& service, ApiCall call, const std::string& body,
                       const std::string& origin) {
    Json::Value json;
    if (!ParseJsonObject(body, json)) {
        return ApiReply::Failure("400", "请求格式不正确");
    }
    switch (call) {
        case ApiCall::SmsCode:
            return service.RequestCode(json);
        case ApiCall::Login:
            return service.Login(json, origin);
        case ApiCall::Register:
            return service.Register(json, origin);
        case ApiCall::ThirdAuth:
            return service.ThirdAuth(json, origin);
        case ApiCall::BindPhone:
            return service.BindPhone(json, origin);
    }
    return ApiReply::Failure("404", "接口不存在");
}

std::string RequestOrigin(const httplib::Request& request) {
    static const std::regex kHost(R"((\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9.-]{1,253})(:[0-9]{1,5})?)");
    const std::string host = request.get_header_value("Host");
    if (std::regex_match(host, kHost)) {
        return "http://" + host;
    }
    return "http://127.0.0.1:" + std::to_string(request.local_port);
}

void RegisterAccountApi(httplib::Server& server, std::shared_ptr<AccountService> service,
                        const ServerOptions& options,
                        std::shared_ptr<tools::DownloadSlots> downloads) {
    const std::pair<const char*, ApiCall> posts[] = {
        {"/api/v3/user/smscode", ApiCall::SmsCode},
        {"/api/v3/user/login", ApiCall::Login},
        {"/api/v3/user/register", ApiCall::Register},
        {"/api/v3/user/thirdauth", ApiCall::ThirdAuth},
        {"/api/v3/user/bindphone", ApiCall::BindPhone},
    };
    for (const auto& [path, call] : posts) {
        server.Post(path, [service, call = call](const httplib::Request& request,
                                                 httplib::Response& response) {
            SetReply(response, AnswerApiPost(*service, call, request.body, RequestOrigin(request)));
        });
    }
    server.Get(
        R"(/api/v3/user/autologin/pro/ocr/ver/[^/]+/channel/[^/]+/userid/([^/]+)/token/([^/]+))",
        [service](const httplib::Request& request, httplib::Response& response) {
            SetReply(response, service->AutoLogin(request.matches[1], request.matches[2],
                                                  RequestOrigin(request)));
        });
    server.Get(R"(/api/v3/soft/ocr/ver/[^/]+/channel/[^/]+)",
               [options](const httplib::Request& request, httplib::Response& response) {
                   SetReply(response, SoftwareInfo(options, RequestOrigin(request)));
               });
    server.Get(kCompanionDownloadPath,
               [options, downloads](const httplib::Request&, httplib::Response& response) {
                   if (!tools::ServeFileDownload(CompanionInstallerPath(options),
                                                 "KelsorPDFConverInst", *downloads, response)) {
                       response.status = 404;  // the error handler writes the body
                   }
               });
    // Anything else under /api is a 404 with a body in the API's own shape.
    const auto unknown = [](const httplib::Request&, httplib::Response& response) {
        SetReply(response, ApiReply::Failure("404", "接口不存在"));
        response.status = 404;
    };
    server.Get(R"(/api/.*)", unknown);
    server.Post(R"(/api/.*)", unknown);
}

}  // namespace kelsor::server::account
