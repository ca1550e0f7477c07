#pragma once

#include <cstdint>
#include <functional>
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
// picture's own size. Text only: codes are not read.
std::string RecognizeServicePictureText(int formatType, const std::wstring& path);
std::optional<std::vector<PlacedLine>> RecognizeServicePictureLines(const std::wstring& path);

// Whether the QR codes and barcodes in a picture are read with its text (the
// user's choice "识别二维码/条形码"; each road is given it).
enum class CodeReading { Off, On };

// As above; with CodeReading::On each code found in the picture is one line
// among the recognised ones (see CodeLines.h). The service is not asked when
// the picture shows nothing but its codes, so a picture of a code alone is
// read without the network. A picture without codes is recognised exactly as
// with CodeReading::Off; a service that fails still fails the picture, codes
// or not, rather than leave its text out unsaid. The service gets the
// picture with its codes painted over, so that their modules are never read
// as characters.
std::string ReadServicePictureText(int formatType, const std::wstring& path, CodeReading codes);
std::optional<std::vector<PlacedLine>> ReadServicePictureLines(const std::wstring& path,
                                                               CodeReading codes);

// ReadServicePictureText with `codes` fixed, in the shape the pages and the
// batch runner call a recognition: (format type, path) -> text.
std::function<std::string(int, const std::wstring&)> ServiceTextRecognition(CodeReading codes);

}  // namespace kelsor
