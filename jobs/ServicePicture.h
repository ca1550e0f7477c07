#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cloud/LineJoin.h"

// Pictures as the recognition service takes them. The service refuses a
// picture with a side under kServiceMinimumSide pixels, and a line of small
// screen text cut tightly is 14 px tall: such a picture is sent grown to the
// minimum at its right and bottom in its own edge colour, so that every box
// that comes back is in the picture's own pixels. Every recognition road of
// the program (the pages, the batch runner, kelsor-ocr, the PDF pages) sends
// its picture through these.
namespace kelsor {

constexpr int kServiceMinimumSide = 15;

// What is sent for one picture file.
struct ServicePicture {
    std::vector<std::uint8_t> bytes;  // the file's own bytes, or the grown PNG
    int width = 0;                    // the picture's own size as seen upright;
    int height = 0;                   // 0 when its header names none
    bool grown = false;
};

// The bytes to send for the picture file at `path`: the file as it is unless
// a side is under the minimum and the picture can be decoded. False when the
// file cannot be read (not a regular file, or beyond the decoder's size).
bool PrepareServicePicture(const std::wstring& path, ServicePicture& picture);

// RecognizePictureText and RecognizePictureLines through
// PrepareServicePicture; the boxes of a grown picture are kept within the
// picture's own size.
std::string RecognizeServicePictureText(int formatType, const std::wstring& path);
std::optional<std::vector<PlacedLine>> RecognizeServicePictureLines(const std::wstring& path);

}  // namespace kelsor
