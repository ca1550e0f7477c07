#pragma once

#include <json/value.h>

#include <string>

// Small jsoncpp helpers for every reply and record the programs read from
// outside: the account service, the converter information, the cloud reply,
// the sibling programs' logs and replies, kelsor-server's request bodies.
// Nothing else calls jsoncpp's readers: they throw on deep nesting.
namespace kelsor {

// Parses narrow JSON text whose first character is "{" into `root` (an
// object). False for anything else, including text nested deeper than the
// reader allows (jsoncpp throws there; nothing escapes from here).
bool ParseJsonObject(const std::string& text, Json::Value& root);

// The member `key` of `value` when `value` is an object that has it;
// otherwise null.
const Json::Value& JsonMember(const Json::Value& value, const char* key);

// The member `key` of `object` when `object` is an object and the member is a
// JSON string; otherwise empty.
std::string StringMember(const Json::Value& object, const char* key);

}  // namespace kelsor
