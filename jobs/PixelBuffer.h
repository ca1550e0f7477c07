#pragma once

#include <cstdint>

namespace kelsor {

// A screen bitmap as the capture and the image view hand it over: 32-bit
// pixels, bytes B, G, R, X in memory (QImage::Format_RGB32 and ARGB32 on
// little-endian machines), rows top-down `bytesPerLine` apart. Not owned.
struct PixelBuffer {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;
};

}  // namespace kelsor
