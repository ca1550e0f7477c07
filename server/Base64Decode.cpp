#include "server/Base64Decode.h"

#include <array>
#include <cstdint>

namespace kelsor::server {
namespace {

constexpr std::int8_t kSkip = -2;
constexpr std::int8_t kBad = -1;

constexpr std::array<std::int8_t, 256> MakeTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& entry : table) {
        entry = kBad;
    }
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    }
    for (char c : {' ', '\t', '\r', '\n'}) {
        table[static_cast<unsigned char>(c)] = kSkip;
    }
    return table;
}
constexpr auto kTable = MakeTable();

}  // namespace

bool Base64Decode(std::string_view text, std::string& bytes) {
    bytes.clear();
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t accumulator = 0;
    int count = 0;    // sextets in the current group
    int padding = 0;  // '=' seen
    for (unsigned char c : text) {
        if (c == '=') {
            ++padding;
            continue;
        }
        const std::int8_t value = kTable[c];
        if (value == kSkip) {
            continue;
        }
        if (value == kBad || padding > 0) {
            return false;  // unknown character, or data after the padding
        }
        accumulator = (accumulator << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            bytes += static_cast<char>(accumulator >> 16);
            bytes += static_cast<char>(accumulator >> 8);
            bytes += static_cast<char>(accumulator);
            accumulator = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2 || (count == 0 && padding > 0) ||
        (padding > 0 && count + padding != 4)) {
        return false;
    }
    if (count == 2) {
        bytes += static_cast<char>(accumulator >> 4);
    } else if (count == 3) {
        bytes += static_cast<char>(accumulator >> 10);
        bytes += static_cast<char>(accumulator >> 2);
    }
    return true;
}

}  // namespace kelsor::server
