#include "server/account/AvatarPng.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kelsor::server::account {
namespace {

void PutBigEndian(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    PutBigEndian(out, static_cast<std::uint32_t>(
                          crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// Coverage of a pixel by a shape given as a signed distance (negative
// inside), for soft edges.
double Coverage(double distance) {
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

}  // namespace

std::string DefaultAvatarPng(const std::string& seed, int size) {
    static constexpr std::array<std::array<int, 3>, 6> kColours{{{67, 153, 253},
                                                                 {52, 183, 137},
                                                                 {245, 166, 35},
                                                                 {233, 99, 99},
                                                                 {144, 110, 230},
                                                                 {40, 170, 200}}};
    const std::array<int, 3>& colour =
        kColours[crc32(0, reinterpret_cast<const Bytef*>(seed.data()), seed.size()) %
                 kColours.size()];
    const double centre = size / 2.0;
    const double radius = size / 2.0;
    // Raw scanlines, each led by filter byte 0.
    std::string raw;
    raw.reserve(static_cast<std::size_t>(size) * (size * 4 + 1));
    for (int y = 0; y < size; ++y) {
        raw += '\0';
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double disc = Coverage(std::hypot(px - centre, py - centre) - radius + 0.5);
            // Head: a circle; shoulders: the top half of a wide ellipse.
            const double head = Coverage(std::hypot(px - centre, py - size * 0.40) - size * 0.17);
            const double dx = (px - centre) / (size * 0.32),
                         dy = (py - size * 0.92) / (size * 0.30);
            const double shoulders = Coverage((std::sqrt(dx * dx + dy * dy) - 1.0) * size * 0.3);
            const double figure = std::max(head, shoulders) * disc;
            for (int channel = 0; channel < 3; ++channel) {
                const double value = colour[channel] * (1.0 - figure) + 255.0 * figure;
                raw += static_cast<char>(static_cast<int>(std::lround(value)));
            }
            raw += static_cast<char>(static_cast<int>(std::lround(disc * 255.0)));
        }
    }
    uLongf packedSize = compressBound(raw.size());
    std::vector<Bytef> packed(packedSize);
    if (compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  raw.size(), Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(size));
    PutBigEndian(header, static_cast<std::uint32_t>(size));
    header += {8, 6, 0, 0, 0};  // 8-bit RGBA, deflate, no filter choice, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
    PutChunk(png, "IEND", "");
    return png;
}

}  // namespace kelsor::server::account
