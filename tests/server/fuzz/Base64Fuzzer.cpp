// libFuzzer target over kelsor-server's Base64 decoder: any text decodes or
// is refused without a fault, what decodes encodes back to the same bytes,
// and any bytes survive encoding and decoding.
//
//   build-fuzz/tests/server/server_base64_fuzzer /tmp/base64-corpus \
//       tests/server/fuzz/base64_corpus
#include "server/Base64Decode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string Encode(const std::string& bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63],
                alphabet[v & 63]};
    }
    if (bytes.size() - i == 1) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], '=', '='};
    } else if (bytes.size() - i == 2) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += {alphabet[v >> 18], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], '='};
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string bytes, again;
    if (kelsor::server::Base64Decode(text, bytes) &&
        (!kelsor::server::Base64Decode(Encode(bytes), again) || again != bytes)) {
        std::abort();
    }
    const std::string raw(text);
    if (!kelsor::server::Base64Decode(Encode(raw), again) || again != raw) {
        std::abort();
    }
    return 0;
}
