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

using Action = ApiReply (AccountService::*)(const Json::Value&, const std::string&);

// A POST endpoint taking a JSON object body.
void PostJson(httplib::Server& server, const char* path, std::shared_ptr<AccountService> service,
              Action action) {
    server.Post(path,
                [service, action](const httplib::Request& request, httplib::Response& response) {
                    Json::Value body;
                    if (!ParseJsonObject(request.body, body)) {
                        SetReply(response, ApiReply::Failure("400", "请求格式不正确"));
                        return;
                    }
                    SetReply(response, ((*service).*action)(body, RequestOrigin(request)));
                });
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

std::string RequestOrigin(const httplib::Request& request) {
    static const std::regex kHost(R"((\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9.-]{1,253})(:[0-9]{1,5})?)");
    const std::string host = request.get_header_value("Host");
    if (std::regex_match(host, kHost)) {
        return "http://" + host;
    }
    return "http://127.0.0.1:" + std::to_string(request.local_port);
}

void RegisterAccountApi(httplib::Server& server, std::shared_ptr<AccountService> service,
                        const ServerOptions& options) {
    PostJson(server, "/api/v3/user/login", service, &AccountService::Login);
    PostJson(server, "/api/v3/user/register", service, &AccountService::Register);
    PostJson(server, "/api/v3/user/thirdauth", service, &AccountService::ThirdAuth);
    PostJson(server, "/api/v3/user/bindphone", service, &AccountService::BindPhone);
    server.Post("/api/v3/user/smscode",
                [service](const httplib::Request& request, httplib::Response& response) {
                    Json::Value body;
                    SetReply(response, ParseJsonObject(request.body, body)
                                           ? service->RequestCode(body)
                                           : ApiReply::Failure("400", "请求格式不正确"));
                });
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
    server.Get(kCompanionDownloadPath, [options](const httplib::Request&,
                                                 httplib::Response& response) {
        std::string bytes, error;
        if (!ReadWholeFile(CompanionInstallerPath(options), bytes, error)) {
            response.status = 404;  // the error handler writes the body
            return;
        }
        response.set_header("Content-Disposition", "attachment; filename=\"KelsorPDFConverInst\"");
        response.set_content(std::move(bytes), "application/octet-stream");
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
