// libFuzzer target over kelsor-server's picture decoder (the bytes of a
// general-text request). The fuzzing build lowers the largest side so that
// inputs claiming large pictures stay cheap.
//
//   build-fuzz/tests/server/server_picture_fuzzer -rss_limit_mb=2048 \
//       /tmp/picture-corpus tests/server/fuzz/picture_corpus
#include "server/PictureDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelsor::server;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    DecodedPicture picture;
    std::string message;
    if (DecodePicture(bytes, picture, message) == PictureError::None &&
        (picture.width < kMinPictureSide || picture.height < kMinPictureSide ||
         picture.width > kMaxPictureSide || picture.height > kMaxPictureSide ||
         picture.rgb.size() != static_cast<std::size_t>(picture.width) * picture.height * 3)) {
        std::abort();
    }
    return 0;
}
