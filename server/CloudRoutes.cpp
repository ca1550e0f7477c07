#include "server/Routes.h"

#include "server/JsonReply.h"
#include "server/PictureDecoder.h"
#include "server/RequestBodies.h"
#include "server/UrlFetcher.h"

#include <httplib.h>

#include <cmath>

namespace kelsor::server {
namespace {

// Identity errors look like the provider's: {"error": {code, message, title}}.
void SetIdentityError(httplib::Response& response, int status, const std::string& message) {
    Json::Value body;
    body["error"]["code"] = status;
    body["error"]["message"] = message;
    body["error"]["title"] = status == 401   ? "Unauthorized"
                             : status == 500 ? "Internal Server Error"
                                             : "Bad Request";
    SetJson(response, status, body);
}

void HandleTokenRequest(ServerContext& context, const httplib::Request& request,
                        httplib::Response& response) {
    TokenRequest token;
    switch (ReadTokenRequest(request.body, token)) {
        case TokenBodyError::None:
            break;
        case TokenBodyError::NotJson:
            SetIdentityError(response, 400, "The request body is not valid JSON.");
            return;
        case TokenBodyError::Incomplete:
            SetIdentityError(response, 400,
                             "The request must use the password method with user, domain name "
                             "and a project scope.");
            return;
    }
    const std::optional<CloudUser> found =
        context.cloudUsers.Verify(token.domain, token.user, token.password);
    if (!found) {
        SetIdentityError(response, 401, "The username or password is wrong.");
        return;
    }
    if (found->projectName != token.project) {
        SetIdentityError(response, 401, "The user has no access to project " + token.project + ".");
        return;
    }
    const std::optional<IssuedToken> issued = context.tokens.Issue(*found);
    if (!issued) {
        SetIdentityError(response, 500, "No token can be issued now.");
        return;
    }
    Json::Value reply;
    Json::Value& issuedToken = reply["token"];
    issuedToken["expires_at"] = IsoTime(issued->expiresAt);
    issuedToken["issued_at"] = IsoTime(issued->issuedAt);
    issuedToken["methods"].append("password");
    issuedToken["project"]["name"] = found->projectName;
    issuedToken["project"]["id"] = found->projectId;
    issuedToken["project"]["domain"]["name"] = found->domainName;
    issuedToken["project"]["domain"]["id"] = found->domainId;
    issuedToken["user"]["name"] = found->userName;
    issuedToken["user"]["id"] = found->userId;
    issuedToken["user"]["domain"]["name"] = found->domainName;
    issuedToken["user"]["domain"]["id"] = found->domainId;
    issuedToken["catalog"] = Json::Value(Json::arrayValue);
    SetJson(response, 201, reply);
    response.set_header("X-Subject-Token", issued->token);
}

// Token check of the OCR routes; false when the response is already set.
bool Authorise(ServerContext& context, const httplib::Request& request, httplib::Response& response,
               const std::string& pathProjectId) {
    IssuedToken issued;
    switch (context.tokens.Check(request.get_header_value("X-Auth-Token"), issued)) {
        case TokenCheck::Missing:
            SetProviderError(response, 401, "ModelArts.0201", "The request has no X-Auth-Token.");
            return false;
        case TokenCheck::Unknown:
            SetProviderError(response, 401, "ModelArts.0203", "The token is invalid.");
            return false;
        case TokenCheck::Expired:
            SetProviderError(response, 401, "ModelArts.0204", "The token has expired.");
            return false;
        case TokenCheck::Valid:
            break;
    }
    if (!pathProjectId.empty() && pathProjectId != issued.user.projectId) {
        SetProviderError(response, 403, "ModelArts.0210",
                         "The project in the path does not match the token.");
        return false;
    }
    return true;
}

// The picture bytes of the request body; false when the response is set.
bool PictureBytes(ServerContext& context, const std::string& body, httplib::Response& response,
                  std::string& bytes) {
    PictureSource source;
    std::string message;
    const PictureBodyError error = ReadPictureSource(body, source, message);
    if (error != PictureBodyError::None) {
        SetProviderError(response, 400, ProviderCode(error), message);
        return false;
    }
    if (source.url.empty()) {
        bytes = std::move(source.bytes);
        return true;
    }
    FetchLimits limits;
    limits.timeoutSeconds = context.options.urlTimeoutSeconds;
    switch (FetchUrl(source.url, limits, bytes, message)) {
        case FetchResult::Ok:
            return true;
        case FetchResult::TooLarge:
            SetProviderError(response, 400, "AIS.0103", message);
            return false;
        case FetchResult::BadScheme:
        case FetchResult::Failed:
            SetProviderError(response, 400, "AIS.0101", message);
            return false;
    }
    return false;
}

void HandleGeneralText(ServerContext& context, const httplib::Request& request,
                       httplib::Response& response, const std::string& pathProjectId) {
    if (!Authorise(context, request, response, pathProjectId)) {
        return;
    }
    std::string bytes;
    if (!PictureBytes(context, request.body, response, bytes)) {
        return;
    }
    DecodedPicture picture;
    std::string message;
    switch (DecodePicture(bytes, picture, message)) {
        case PictureError::None:
            break;
        case PictureError::NotPicture:
            SetProviderError(response, 400, "AIS.0102", message);
            return;
        case PictureError::SizeOutOfRange:
            SetProviderError(response, 400, "AIS.0103", message);
            return;
        case PictureError::Undecodable:
            SetProviderError(response, 400, "AIS.0104", message);
            return;
    }
    bytes.clear();
    std::vector<TextBlock> lines;
    {
        EnginePool::Lease engine = context.engines.Acquire();
        if (!engine->Recognize(picture, lines, message)) {
            SetProviderError(response, 400, "AIS.0105", "Recognition failed: " + message);
            return;
        }
    }
    Json::Value reply;
    Json::Value& result = reply["result"];
    result["direction"] = -1;
    result["words_block_count"] = static_cast<Json::UInt>(lines.size());
    Json::Value& list = result["words_block_list"] = Json::Value(Json::arrayValue);
    for (const TextBlock& line : lines) {
        Json::Value block;
        block["words"] = line.words;
        for (const auto& corner : line.location) {
            Json::Value point(Json::arrayValue);
            point.append(corner[0]);
            point.append(corner[1]);
            block["location"].append(point);
        }
        block["confidence"] = std::round(line.confidence * 10000.0) / 10000.0;
        list.append(block);
    }
    SetJson(response, 200, reply);
}

}  // namespace

void RegisterIdentityRoutes(httplib::Server& server, ServerContext& context) {
    server.Post("/v3/auth/tokens",
                [&context](const httplib::Request& request, httplib::Response& response) {
                    HandleTokenRequest(context, request, response);
                });
}

void RegisterOcrRoutes(httplib::Server& server, ServerContext& context) {
    server.Post("/v1.0/ocr/general-text",
                [&context](const httplib::Request& request, httplib::Response& response) {
                    HandleGeneralText(context, request, response, "");
                });
    server.Post(R"(/v2/([^/]+)/ocr/general-text)",
                [&context](const httplib::Request& request, httplib::Response& response) {
                    HandleGeneralText(context, request, response, request.matches[1]);
                });
}

}  // namespace kelsor::server
