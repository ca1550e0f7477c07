#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelsor::history {

// A JPEG of the picture at `path` at most `side` pixels a side (never
// enlarged); empty when the file is not a picture the program reads.
std::vector<std::uint8_t> MakeThumbnail(const std::wstring& path, int side);

}  // namespace kelsor::history
