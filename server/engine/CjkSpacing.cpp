#include "server/engine/CjkSpacing.h"

#include <cstddef>
#include <cstdint>

namespace kelsor::server {
namespace {

bool IsCjk(std::uint32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Decodes the UTF-8 sequence starting at `i`; returns its length (1 for a
// stray byte, which is then not CJK).
std::size_t Decode(const std::string& s, std::size_t i, std::uint32_t& c) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t length = b < 0x80         ? 1
                         : (b >> 5) == 6  ? 2
                         : (b >> 4) == 14 ? 3
                         : (b >> 3) == 30 ? 4
                                          : 1;
    if (i + length > s.size()) {
        length = 1;
    }
    c = length == 1 ? b : b & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    return length;
}

}  // namespace

std::string RemoveSpacesBetweenCjk(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool previousCjk = false;  // the last non-space character written was CJK
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            std::size_t end = i;
            while (end < text.size() && text[end] == ' ') {
                ++end;
            }
            std::uint32_t next = 0;
            const bool nextCjk = end < text.size() && (Decode(text, end, next), IsCjk(next));
            if (!(previousCjk && nextCjk)) {
                out.append(text, i, end - i);
            }
            i = end;
            continue;
        }
        std::uint32_t c = 0;
        const std::size_t length = Decode(text, i, c);
        previousCjk = IsCjk(c);
        out.append(text, i, length);
        i += length;
    }
    return out;
}

}  // namespace kelsor::server
