#include "server/PictureDecoder.h"

#include <leptonica/allheaders.h>

#include <mutex>

namespace kelsor::server {
namespace {

constexpr const char* kSizeMessage =
    "The image size is out of range: each side must be 15 to 8192 pixels.";

bool SupportedFormat(l_int32 format) {
    switch (format) {
        case IFF_BMP:
        case IFF_JFIF_JPEG:
        case IFF_PNG:
        case IFF_TIFF:
        case IFF_TIFF_PACKBITS:
        case IFF_TIFF_RLE:
        case IFF_TIFF_G3:
        case IFF_TIFF_G4:
        case IFF_TIFF_LZW:
        case IFF_TIFF_ZIP:
        case IFF_TIFF_JPEG:
        case IFF_GIF:
        case IFF_WEBP:
            return true;
        default:
            return false;
    }
}

std::size_t Le16(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

// Skips GIF data sub-blocks from `at`; the position after the terminator, or
// npos when the data ends first.
std::size_t SkipSubBlocks(const std::string& bytes, std::size_t at) {
    while (at < bytes.size() && bytes[at] != 0) {
        at += 1 + static_cast<unsigned char>(bytes[at]);
    }
    return at < bytes.size() ? at + 1 : std::string::npos;
}

// The GIF reader allocates every frame at the size its own descriptor
// declares, whatever the screen size in the header says (a 200-byte file can
// ask for gigabytes): each frame must fit the side limit and all frames
// together the area of one largest picture.
bool GifFramesWithinLimits(const std::string& bytes) {
    constexpr std::size_t kMaxArea = std::size_t{kMaxPictureSide} * kMaxPictureSide;
    const auto colourTable = [](unsigned char flags) {
        return (flags & 0x80) != 0 ? std::size_t{3} << ((flags & 7) + 1) : 0;
    };
    if (bytes.size() < 13) {
        return true;  // too short to decode at all
    }
    std::size_t at = 13 + colourTable(static_cast<unsigned char>(bytes[10]));
    std::size_t area = 0;
    while (at < bytes.size()) {
        const auto block = static_cast<unsigned char>(bytes[at]);
        if (block == 0x21 && at + 2 <= bytes.size()) {  // extension: label, then sub-blocks
            at = SkipSubBlocks(bytes, at + 2);
        } else if (block == 0x2C && at + 10 <= bytes.size()) {  // image descriptor
            const std::size_t width = Le16(bytes, at + 5);
            const std::size_t height = Le16(bytes, at + 7);
            area += width * height;
            if (width > kMaxPictureSide || height > kMaxPictureSide || area > kMaxArea) {
                return false;
            }
            at += 10 + colourTable(static_cast<unsigned char>(bytes[at + 9]));
            at = at < bytes.size() ? SkipSubBlocks(bytes, at + 1) : std::string::npos;  // LZW data
        } else {
            break;  // trailer, or data the reader refuses itself
        }
    }
    return true;
}

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

}  // namespace

PictureError DecodePicture(const std::string& bytes, DecodedPicture& picture,
                           std::string& message) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { setMsgSeverity(L_SEVERITY_NONE); });

    const auto* data = reinterpret_cast<const l_uint8*>(bytes.data());
    l_int32 format = IFF_UNKNOWN;
    if (bytes.size() < 12 || findFileFormatBuffer(data, &format) != 0 || !SupportedFormat(format)) {
        message = "The image is not in a supported format (JPG, PNG, BMP, TIFF, GIF, WebP).";
        return PictureError::NotPicture;
    }
    if (format == IFF_GIF && !GifFramesWithinLimits(bytes)) {
        message = kSizeMessage;
        return PictureError::SizeOutOfRange;
    }
    l_int32 width = 0, height = 0, bps = 0, spp = 0, colormap = 0, headerFormat = 0;
    if (pixReadHeaderMem(data, bytes.size(), &headerFormat, &width, &height, &bps, &spp,
                         &colormap) != 0) {
        message = "The image header cannot be read.";
        return PictureError::Undecodable;
    }
    if (width < kMinPictureSide || height < kMinPictureSide || width > kMaxPictureSide ||
        height > kMaxPictureSide) {
        message = kSizeMessage;
        return PictureError::SizeOutOfRange;
    }
    PixPtr pix(pixReadMem(data, bytes.size()));
    if (!pix) {
        message = "The image cannot be decoded.";
        return PictureError::Undecodable;
    }
    PixPtr rgb(pixConvertTo32(pix.get()));
    if (!rgb || pixGetWidth(rgb.get()) != width || pixGetHeight(rgb.get()) != height) {
        message = "The image cannot be decoded.";
        return PictureError::Undecodable;
    }
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    const l_uint32* row = pixGetData(rgb.get());
    const l_int32 wordsPerLine = pixGetWpl(rgb.get());
    std::uint8_t* out = picture.rgb.data();
    for (int y = 0; y < height; ++y, row += wordsPerLine) {
        for (int x = 0; x < width; ++x) {
            const l_uint32 pixel = row[x];
            *out++ = static_cast<std::uint8_t>(pixel >> L_RED_SHIFT);
            *out++ = static_cast<std::uint8_t>(pixel >> L_GREEN_SHIFT);
            *out++ = static_cast<std::uint8_t>(pixel >> L_BLUE_SHIFT);
        }
    }
    return PictureError::None;
}

}  // namespace kelsor::server
