#pragma once

#include <json/value.h>

#include <string>

namespace httplib {
struct Response;
}

namespace kelsor::server {

// Compact JSON with raw UTF-8 text (clients convert it themselves).
std::string WriteJson(const Json::Value& value);
void SetJson(httplib::Response& response, int status, const Json::Value& value);
// {"error_code": code, "error_msg": message}
void SetProviderError(httplib::Response& response, int status, const std::string& code,
                      const std::string& message);
// Parses an object; false for anything else.
bool ParseJsonObject(const std::string& text, Json::Value& value);

}  // namespace kelsor::server
