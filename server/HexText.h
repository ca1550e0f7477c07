#pragma once

#include <cstddef>
#include <string>

namespace kelsor::server {

// Lower-case hex of `size` bytes: digests, random tokens and ids.
std::string HexText(const unsigned char* data, std::size_t size);

}  // namespace kelsor::server
