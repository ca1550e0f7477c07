#pragma once

#include <json/value.h>

#include <string>

// Small jsoncpp helpers shared by the account code.
namespace kelsor::account {

// Parses narrow JSON text whose first character is "{" into `root` (an
// object). False for anything else.
bool ParseJsonObject(const std::string& text, Json::Value& root);

// The member `key` of `object` when `object` is an object and the member is a
// JSON string; otherwise empty.
std::string StringMember(const Json::Value& object, const char* key);

}  // namespace kelsor::account
