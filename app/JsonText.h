#pragma once

#include <json/value.h>

#include <string>

// Small jsoncpp helpers for every reply and record the program reads from
// outside: the account service, the converter information, the cloud reply.
namespace kelsor {

// Parses narrow JSON text whose first character is "{" into `root` (an
// object). False for anything else, including text nested deeper than the
// reader allows (jsoncpp throws there; nothing escapes from here).
bool ParseJsonObject(const std::string& text, Json::Value& root);

// The member `key` of `object` when `object` is an object and the member is a
// JSON string; otherwise empty.
std::string StringMember(const Json::Value& object, const char* key);

}  // namespace kelsor
