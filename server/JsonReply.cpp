#include "server/JsonReply.h"

#include <httplib.h>
#include <json/reader.h>
#include <json/writer.h>

#include <memory>

namespace kelsor::server {

std::string WriteJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

void SetJson(httplib::Response& response, int status, const Json::Value& value) {
    response.status = status;
    response.set_content(WriteJson(value), "application/json;charset=utf8");
}

void SetProviderError(httplib::Response& response, int status, const std::string& code,
                      const std::string& message) {
    Json::Value body;
    body["error_code"] = code;
    body["error_msg"] = message;
    SetJson(response, status, body);
}

bool ParseJsonObject(const std::string& text, Json::Value& value) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["stackLimit"] = 200;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        return reader->parse(text.data(), text.data() + text.size(), &value, &errors) &&
               value.isObject();
    } catch (const std::exception&) {
        return false;  // nested too deeply
    }
}

}  // namespace kelsor::server
