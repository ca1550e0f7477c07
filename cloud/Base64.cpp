#include "cloud/Base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace kelsor {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two output characters per 12 input bits: one table look-up per half group
// is what makes the encoder fast.
struct PairTable {
    std::array<char, 4096 * 2> chars{};
    constexpr PairTable() {
        for (int i = 0; i < 4096; ++i) {
            chars[2 * i] = kAlphabet[i >> 6];
            chars[2 * i + 1] = kAlphabet[i & 0x3F];
        }
    }
};
constexpr PairTable kPairs;

inline char* EncodeGroup(const unsigned char* in, char* out) {
    const std::uint32_t v = (std::uint32_t(in[0]) << 16) | (std::uint32_t(in[1]) << 8) | in[2];
    std::memcpy(out, &kPairs.chars[2 * (v >> 12)], 2);
    std::memcpy(out + 2, &kPairs.chars[2 * (v & 0xFFF)], 2);
    return out + 4;
}

constexpr std::size_t kGroupsPerLine = 19;  // 76 characters

}  // namespace

std::string Base64Encode(const unsigned char* data, std::size_t length) {
    if (data == nullptr || length == 0) {
        return {};
    }
    const std::size_t groups = length / 3;
    const std::size_t rest = length % 3;
    const std::size_t lines = groups / kGroupsPerLine;
    std::string text(groups * 4 + lines * 2 + (rest != 0 ? 4 : 0), '\0');
    char* out = text.data();
    const unsigned char* in = data;

    for (std::size_t line = 0; line < lines; ++line) {
        for (std::size_t g = 0; g < kGroupsPerLine; ++g) {
            out = EncodeGroup(in, out);
            in += 3;
        }
        *out++ = '\r';
        *out++ = '\n';
    }
    for (std::size_t g = lines * kGroupsPerLine; g < groups; ++g) {
        out = EncodeGroup(in, out);
        in += 3;
    }
    if (rest == 1) {
        out[0] = kAlphabet[in[0] >> 2];
        out[1] = kAlphabet[(in[0] & 0x03) << 4];
        out[2] = '=';
        out[3] = '=';
    } else if (rest == 2) {
        out[0] = kAlphabet[in[0] >> 2];
        out[1] = kAlphabet[((in[0] & 0x03) << 4) | (in[1] >> 4)];
        out[2] = kAlphabet[(in[1] & 0x0F) << 2];
        out[3] = '=';
    }
    return text;
}

}  // namespace kelsor
