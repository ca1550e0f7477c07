#pragma once

#include "server/engine/RecognitionEngine.h"

#include <string>

namespace kelsor::server {

enum class PictureError {
    None,
    NotPicture,      // not a supported picture format
    SizeOutOfRange,  // a side under 15 or over 8192 pixels
    Undecodable,     // the format is known but the data cannot be decoded
};

constexpr int kMinPictureSide = 15;
#ifdef KELSOR_SERVER_PICTURE_MAX_SIDE
// Fuzzing builds lower it so that inputs claiming large pictures stay cheap.
constexpr int kMaxPictureSide = KELSOR_SERVER_PICTURE_MAX_SIDE;
#else
constexpr int kMaxPictureSide = 8192;
#endif

// JPEG, PNG, BMP, TIFF, GIF or WebP bytes to RGB. The size is checked from
// the header before anything is decoded.
PictureError DecodePicture(const std::string& bytes, DecodedPicture& picture, std::string& message);

}  // namespace kelsor::server
