#pragma once

#include <cstddef>
#include <string>

namespace kelsor::server {

struct FetchLimits {
    std::size_t maxBytes = 10 * 1024 * 1024;
    long timeoutSeconds = 10;
};

enum class FetchResult { Ok, BadScheme, Failed, TooLarge };

// Downloads an http:// or https:// address (redirects only to those, at most
// three), bounded in size and time.
FetchResult FetchUrl(const std::string& url, const FetchLimits& limits, std::string& bytes,
                     std::string& message);

}  // namespace kelsor::server
