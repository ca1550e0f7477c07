#include "cloud/Base64.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
constexpr std::size_t kLineBytes = kGroupsPerLine * 3;

// Encodes one full line of 57 bytes to 76 characters, no line end.
void EncodeLineScalar(const unsigned char* in, char* out) {
    for (std::size_t g = 0; g < kGroupsPerLine; ++g) {
        out = EncodeGroup(in, out);
        in += 3;
    }
}

using LineEncoder = void (*)(const unsigned char*, char*);

#if defined(__x86_64__)
// 12 bytes to 16 characters in SSE registers (reads 16 bytes; the caller
// keeps the read inside the line).
__attribute__((target("ssse3"))) inline void Encode12(const unsigned char* in, char* out) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    v = _mm_shuffle_epi8(v, _mm_set_epi8(10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1));
    const __m128i t0 = _mm_and_si128(v, _mm_set1_epi32(0x0fc0fc00));
    const __m128i t1 = _mm_mulhi_epu16(t0, _mm_set1_epi32(0x04000040));
    const __m128i t2 = _mm_and_si128(v, _mm_set1_epi32(0x003f03f0));
    const __m128i t3 = _mm_mullo_epi16(t2, _mm_set1_epi32(0x01000010));
    const __m128i indices = _mm_or_si128(t1, t3);
    // Sextet to character: one offset per range, picked with a shuffle.
    __m128i range = _mm_subs_epu8(indices, _mm_set1_epi8(51));
    const __m128i upper = _mm_cmpgt_epi8(_mm_set1_epi8(26), indices);
    range = _mm_or_si128(range, _mm_and_si128(upper, _mm_set1_epi8(13)));
    const __m128i offsets =
        _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                      '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    const __m128i chars = _mm_add_epi8(_mm_shuffle_epi8(offsets, range), indices);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chars);
}

__attribute__((target("ssse3"))) void EncodeLineSsse3(const unsigned char* in, char* out) {
    // 4 x 12 bytes (the last read ends at byte 52 of 57), then 3 groups.
    for (int block = 0; block < 4; ++block) {
        Encode12(in + 12 * block, out + 16 * block);
    }
    for (int g = 0; g < 3; ++g) {
        EncodeGroup(in + 48 + 3 * g, out + 64 + 4 * g);
    }
}

// For a line followed by another: five blocks, the fifth reading 7 bytes of
// the next line and writing 4 characters that the line end and the next
// line overwrite.
__attribute__((target("ssse3"))) void EncodeFollowedLineSsse3(const unsigned char* in, char* out) {
    for (int block = 0; block < 5; ++block) {
        Encode12(in + 12 * block, out + 16 * block);
    }
}

struct LineEncoders {
    LineEncoder followed;  // another line comes after this one
    LineEncoder last;
};
LineEncoders PickLineEncoders() {
    if (__builtin_cpu_supports("ssse3")) {
        return {EncodeFollowedLineSsse3, EncodeLineSsse3};
    }
    return {EncodeLineScalar, EncodeLineScalar};
}
#else
struct LineEncoders {
    LineEncoder followed;
    LineEncoder last;
};
LineEncoders PickLineEncoders() {
    return {EncodeLineScalar, EncodeLineScalar};
}
#endif

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

    static const LineEncoders encoders = PickLineEncoders();
    for (std::size_t line = 0; line < lines; ++line) {
        // Every line but the last may read and write a little past its end.
        (line + 1 < lines ? encoders.followed : encoders.last)(in, out);
        in += kLineBytes;
        out[76] = '\r';
        out[77] = '\n';
        out += 78;
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
