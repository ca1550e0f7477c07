#pragma once

#include <string>
#include <string_view>

namespace kelsor::server {

// Standard-alphabet Base64. White space (MIME line breaks, CR LF that came
// in escaped inside a JSON string) is skipped; padding may be left off.
// Returns false on any other character or a malformed end.
bool Base64Decode(std::string_view text, std::string& bytes);

}  // namespace kelsor::server
