#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reading what a picture file claims about itself before anything is decoded:
// its format from the first bytes and its dimensions from the header. The
// decoder trusts neither blindly; these let it refuse a file whose header asks
// for more memory than any real picture the program handles.
namespace kelsor {

// The format named by the file's signature (ImageFormat codes): Jpeg, Bmp, Png,
// Gif or Tiff; ImageFormatUnknown for anything else.
int SniffPictureFormat(const std::uint8_t* data, std::size_t size);

struct PictureDimensions {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Reads the dimensions the header of a picture in `format` claims, without
// decoding. For a GIF they cover the logical screen and the first frame; for a
// TIFF the first image and its tiles. False when the header is cut short or
// malformed enough that no dimensions can be found.
bool ReadPictureDimensions(const std::uint8_t* data, std::size_t size, int format,
                           PictureDimensions& dimensions);

// The Exif orientation a JPEG names (1 to 8): how its stored rows are to be
// turned to be seen upright. 2 mirrors left and right, 3 turns half round, 4
// mirrors top and bottom, 5 mirrors along the main diagonal, 6 turns a
// quarter clockwise, 7 mirrors along the other diagonal, 8 turns a quarter
// anticlockwise. 1 (as stored) for other formats, a JPEG without the tag and
// a value out of range.
constexpr int kOrientationUpright = 1;
int ReadPictureOrientation(const std::uint8_t* data, std::size_t size, int format);

// The dimensions of a picture stored as `stored` once turned upright.
PictureDimensions UprightDimensions(const PictureDimensions& stored, int orientation);

// A JPEG without its Exif blocks. The decoder would parse them for metadata
// the program never uses, and a malformed directory sends its parser out of
// bounds; the orientation is read by ReadPictureOrientation instead. False
// (and `out` untouched) when there is no Exif block.
bool StripJpegExifBlocks(const std::uint8_t* data, std::size_t size,
                         std::vector<std::uint8_t>& out);

// A BMP with a header newer than BITMAPINFOHEADER (V4, V5, as most tools
// write today) rewritten with the plain 40-byte header, its colour masks and
// palette, which the decoder reads. False (and `out` untouched) when the file
// needs no rewriting or is too malformed to rewrite.
bool RewriteBmpWithInfoHeader(const std::uint8_t* data, std::size_t size,
                              std::vector<std::uint8_t>& out);

// The largest picture the program decodes.
constexpr std::uint32_t kMaxPictureSide = 65535;
#ifdef KELSOR_PICTURE_MAX_PIXELS
constexpr std::uint64_t kMaxPicturePixels = KELSOR_PICTURE_MAX_PIXELS;
#else
constexpr std::uint64_t kMaxPicturePixels = 1ull << 27;  // 134 million, about 400 MB at 24 bits
#endif
// The largest picture file the program reads.
constexpr std::size_t kMaxPictureFileBytes = 256u << 20;

// True when a picture of these dimensions may be decoded.
bool DimensionsWithinLimits(const PictureDimensions& dimensions);

}  // namespace kelsor
