#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>

// JSON requests of the sibling programs to the account service.
namespace kelsor::tools {

// GET `url` (or POST `body` when it is not null) and parse the reply as a
// JSON object. True only for HTTP 200 with an object whose "code" is the
// string "200"; `reply` then holds it. `error` says what went wrong.
bool FetchJson(const std::string& url, const Json::Value* body, Json::Value& reply,
               std::string& error);

// Stores the body of `url` in the file `path` (made anew), following up to 5
// redirects. False, with the file removed, when the transfer fails, the
// status is not 200, or the body would pass `maxBytes`.
bool DownloadFile(const std::string& url, const std::string& path, std::uint64_t maxBytes,
                  std::string& error);

// The reply check of FetchJson on a received `status` and body `text`.
bool ReadServiceReply(long status, const std::string& text, Json::Value& reply, std::string& error);

}  // namespace kelsor::tools
