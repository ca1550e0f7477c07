#pragma once

#include <cstddef>
#include <string>

namespace kelsor {

// Standard-alphabet Base64 with "=" padding and a CR LF after every 19
// complete 3-byte groups (76 characters). The padded final group is never
// followed by CR LF; empty input gives empty text.
std::string Base64Encode(const unsigned char* data, std::size_t length);

}  // namespace kelsor
