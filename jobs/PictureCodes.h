#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// QR codes and barcodes read in a picture, locally: nothing leaves the
// machine. 2-D codes (QR, Micro QR, Data Matrix, Aztec, PDF417) and 1-D codes
// (EAN-8/13, UPC-A/E, Code 39/93/128, ITF, Codabar), several in one picture,
// turned any way; QR codes and Data Matrix also mirrored.
namespace kelsor {

// 8-bit grey pixels, rows top-down without padding.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    std::uint8_t At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

enum class CodeKind {
    Matrix,  // 2-D
    Linear,  // 1-D
};

struct FoundCode {
    CodeKind kind = CodeKind::Matrix;
    std::string symbology;  // the reader's name of it, "QRCode", "EAN-13" ...
    std::string payload;    // UTF-8, as encoded
    // Corners top-left, top-right, bottom-right, bottom-left as the code
    // reads, in the picture's pixels.
    std::array<std::array<double, 2>, 4> location{};
};

// Pictures with a longer side are read from a copy scaled down to it: a
// picture at the decoder's limit costs what one of this size does, and a code
// that fills it still has modules of several pixels.
constexpr int kCodeScanMaxSide = 4096;

// The picture file's bytes decoded to grey (upright, as the program's decoder
// reads it); false when they do not decode.
bool DecodeGreyPicture(const std::uint8_t* data, std::size_t size, GreyImage& grey);

// `grey` scaled down by a whole factor so that no side exceeds `maxSide`;
// the factor (1 when it fits already).
int ShrinkToSide(GreyImage& grey, int maxSide);

// Every code found in `picture`, at most one for each place, in no
// particular order.
std::vector<FoundCode> ReadCodes(const GreyImage& picture);

// A payload's bytes as text: UTF-8 when they are valid UTF-8, else GB 18030
// when they are valid GB 18030; nothing otherwise. Exposed for the tests.
bool PayloadBytesToUtf8(const std::string& bytes, std::string& utf8);

}  // namespace kelsor
