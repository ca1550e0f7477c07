#include "server/RequestBodies.h"

#include "server/Base64Decode.h"
#include "server/JsonReply.h"

#include <cstring>
#include <initializer_list>

namespace kelsor::server {
namespace {

constexpr std::size_t kMaxBase64Size = 10 * 1024 * 1024;

// The value at `path` of nested objects; null when a step is missing or
// not an object.
const Json::Value* ValueAt(const Json::Value& object, std::initializer_list<const char*> path) {
    const Json::Value* value = &object;
    for (const char* key : path) {
        if (!value->isObject()) {
            return nullptr;
        }
        value = value->find(key, key + std::strlen(key));
        if (value == nullptr) {
            return nullptr;
        }
    }
    return value;
}

bool StringAt(const Json::Value& object, std::initializer_list<const char*> path,
              std::string& out) {
    const Json::Value* value = ValueAt(object, path);
    if (value == nullptr || !value->isString()) {
        return false;
    }
    out = value->asString();
    return true;
}

bool UsesPasswordMethod(const Json::Value& body) {
    const Json::Value* methods = ValueAt(body, {"auth", "identity", "methods"});
    if (methods == nullptr || !methods->isArray()) {
        return false;
    }
    for (const Json::Value& method : *methods) {
        if (method.isString() && method.asString() == "password") {
            return true;
        }
    }
    return false;
}

}  // namespace

TokenBodyError ReadTokenRequest(const std::string& body, TokenRequest& request) {
    Json::Value json;
    if (!ParseJsonObject(body, json)) {
        return TokenBodyError::NotJson;
    }
    if (!UsesPasswordMethod(json) ||
        !StringAt(json, {"auth", "identity", "password", "user", "domain", "name"},
                  request.domain) ||
        !StringAt(json, {"auth", "identity", "password", "user", "name"}, request.user) ||
        !StringAt(json, {"auth", "identity", "password", "user", "password"}, request.password) ||
        !StringAt(json, {"auth", "scope", "project", "name"}, request.project)) {
        return TokenBodyError::Incomplete;
    }
    return TokenBodyError::None;
}

const char* ProviderCode(PictureBodyError error) {
    switch (error) {
        case PictureBodyError::NotBase64:
            return "AIS.0102";
        case PictureBodyError::TooLarge:
            return "AIS.0103";
        case PictureBodyError::None:
        case PictureBodyError::BadParameter:
            break;
    }
    return "AIS.0101";
}

PictureBodyError ReadPictureSource(const std::string& body, PictureSource& source,
                                   std::string& message) {
    Json::Value json;
    if (!ParseJsonObject(body, json)) {
        message = "The request body is not a JSON object.";
        return PictureBodyError::BadParameter;
    }
    const Json::Value* image = ValueAt(json, {"image"});
    const Json::Value* url = ValueAt(json, {"url"});
    if ((image == nullptr) == (url == nullptr)) {
        message = "The request must hold exactly one of image and url.";
        return PictureBodyError::BadParameter;
    }
    const Json::Value& value = image != nullptr ? *image : *url;
    if (!value.isString() || value.asString().empty()) {
        message = std::string("The ") + (image != nullptr ? "image" : "url") +
                  " must be a non-empty string.";
        return PictureBodyError::BadParameter;
    }
    if (url != nullptr) {
        source.url = value.asString();
        return PictureBodyError::None;
    }
    const std::string& text = value.asString();
    if (text.size() > kMaxBase64Size) {
        message = "The Base64 image is larger than 10 MB.";
        return PictureBodyError::TooLarge;
    }
    if (!Base64Decode(text, source.bytes)) {
        message = "The image is not valid Base64.";
        return PictureBodyError::NotBase64;
    }
    return PictureBodyError::None;
}

}  // namespace kelsor::server
