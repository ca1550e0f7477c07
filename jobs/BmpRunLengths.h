#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelsor {

// A run-length compressed BMP (RLE8 or RLE4, as image editors write palette
// pictures) rewritten as the same picture with plain rows under the 40-byte
// header, which the decoder reads; its own run-length reader refuses many
// valid files. Pixels the runs leave out (skipped by a delta, or after an
// early end) take palette entry 0, as other readers show them. False (and
// `out` untouched) when the file is not such a BMP or its header is broken.
bool ExpandBmpRunLengths(const std::uint8_t* data, std::size_t size,
                         std::vector<std::uint8_t>& out);

}  // namespace kelsor
