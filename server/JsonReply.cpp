#include "server/JsonReply.h"

#include <httplib.h>
#include <json/writer.h>

#include "app/JsonText.h"

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
    // Request bodies and files may start with white space; the guarded
    // parser wants the object's brace first.
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == 0) {
        return kelsor::ParseJsonObject(text, value);  // no copy of a large body
    }
    return start != std::string::npos && kelsor::ParseJsonObject(text.substr(start), value);
}

}  // namespace kelsor::server
