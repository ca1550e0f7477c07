#include "server/CloudRoutes.h"

#include "server/Base64Decode.h"
#include "server/JsonReply.h"
#include "server/PictureDecoder.h"
#include "server/UrlFetcher.h"

#include <httplib.h>

#include <cmath>
#include <cstring>

namespace kelsor::server {
namespace {

constexpr std::size_t kMaxBase64Size = 10 * 1024 * 1024;

// Identity errors look like the provider's: {"error": {code, message, title}}.
void SetIdentityError(httplib::Response& response, int status, const std::string& message) {
    Json::Value body;
    body["error"]["code"] = status;
    body["error"]["message"] = message;
    body["error"]["title"] = status == 401 ? "Unauthorized" : "Bad Request";
    SetJson(response, status, body);
}

bool StringAt(const Json::Value& object, std::initializer_list<const char*> path,
              std::string& out) {
    const Json::Value* value = &object;
    for (const char* key : path) {
        if (!value->isObject()) {
            return false;
        }
        value = value->find(key, key + std::strlen(key));
        if (value == nullptr) {
            return false;
        }
    }
    if (!value->isString()) {
        return false;
    }
    out = value->asString();
    return true;
}

void HandleTokenRequest(ServerContext& context, const httplib::Request& request,
                        httplib::Response& response) {
    Json::Value body;
    if (!ParseJsonObject(request.body, body)) {
        SetIdentityError(response, 400, "The request body is not valid JSON.");
        return;
    }
    std::string domain, user, password, project;
    const Json::Value& methods = body["auth"].isObject() && body["auth"]["identity"].isObject()
                                     ? body["auth"]["identity"]["methods"]
                                     : Json::Value::nullSingleton();
    bool passwordMethod = false;
    if (methods.isArray()) {
        for (const Json::Value& method : methods) {
            passwordMethod =
                passwordMethod || (method.isString() && method.asString() == "password");
        }
    }
    if (!passwordMethod ||
        !StringAt(body, {"auth", "identity", "password", "user", "domain", "name"}, domain) ||
        !StringAt(body, {"auth", "identity", "password", "user", "name"}, user) ||
        !StringAt(body, {"auth", "identity", "password", "user", "password"}, password) ||
        !StringAt(body, {"auth", "scope", "project", "name"}, project)) {
        SetIdentityError(response, 400,
                         "The request must use the password method with user, domain name and "
                         "a project scope.");
        return;
    }
    const std::optional<CloudUser> found = context.cloudUsers.Verify(domain, user, password);
    if (!found) {
        SetIdentityError(response, 401, "The username or password is wrong.");
        return;
    }
    if (found->projectName != project) {
        SetIdentityError(response, 401, "The user has no access to project " + project + ".");
        return;
    }
    const IssuedToken issued = context.tokens.Issue(*found);
    Json::Value reply;
    Json::Value& token = reply["token"];
    token["expires_at"] = IsoTime(issued.expiresAt);
    token["issued_at"] = IsoTime(issued.issuedAt);
    token["methods"].append("password");
    token["project"]["name"] = found->projectName;
    token["project"]["id"] = found->projectId;
    token["project"]["domain"]["name"] = found->domainName;
    token["project"]["domain"]["id"] = found->domainId;
    token["user"]["name"] = found->userName;
    token["user"]["id"] = found->userId;
    token["user"]["domain"]["name"] = found->domainName;
    token["user"]["domain"]["id"] = found->domainId;
    token["catalog"] = Json::Value(Json::arrayValue);
    SetJson(response, 201, reply);
    response.set_header("X-Subject-Token", issued.token);
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
bool PictureBytes(ServerContext& context, const Json::Value& body, httplib::Response& response,
                  std::string& bytes) {
    const bool hasImage = body.isMember("image");
    const bool hasUrl = body.isMember("url");
    if (hasImage == hasUrl) {
        SetProviderError(response, 400, "AIS.0101",
                         "The request must hold exactly one of image and url.");
        return false;
    }
    const Json::Value& value = hasImage ? body["image"] : body["url"];
    if (!value.isString() || value.asString().empty()) {
        SetProviderError(
            response, 400, "AIS.0101",
            std::string("The ") + (hasImage ? "image" : "url") + " must be a non-empty string.");
        return false;
    }
    if (hasImage) {
        const std::string& text = value.asString();
        if (text.size() > kMaxBase64Size) {
            SetProviderError(response, 400, "AIS.0103", "The Base64 image is larger than 10 MB.");
            return false;
        }
        if (!Base64Decode(text, bytes)) {
            SetProviderError(response, 400, "AIS.0102", "The image is not valid Base64.");
            return false;
        }
        return true;
    }
    std::string message;
    FetchLimits limits;
    limits.timeoutSeconds = context.options.urlTimeoutSeconds;
    switch (FetchUrl(value.asString(), limits, bytes, message)) {
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
    Json::Value body;
    if (!ParseJsonObject(request.body, body)) {
        SetProviderError(response, 400, "AIS.0101", "The request body is not a JSON object.");
        return;
    }
    std::string bytes;
    if (!PictureBytes(context, body, response, bytes)) {
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
