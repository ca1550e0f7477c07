#pragma once

#include <json/value.h>

#include <string>

// JSON requests of the sibling programs to the account service.
namespace kelsor::tools {

// GET `url` (or POST `body` when it is not null) and parse the reply as a
// JSON object. True only for HTTP 200 with an object whose "code" is the
// string "200"; `reply` then holds it. `error` says what went wrong.
bool FetchJson(const std::string& url, const Json::Value* body, Json::Value& reply,
               std::string& error);

}  // namespace kelsor::tools
