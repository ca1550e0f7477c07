#include "server/PictureDecoder.h"

#include <leptonica/allheaders.h>

#include <mutex>

namespace kelsor::server {
namespace {

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
    l_int32 width = 0, height = 0, bps = 0, spp = 0, colormap = 0, headerFormat = 0;
    if (pixReadHeaderMem(data, bytes.size(), &headerFormat, &width, &height, &bps, &spp,
                         &colormap) != 0) {
        message = "The image header cannot be read.";
        return PictureError::Undecodable;
    }
    if (width < kMinPictureSide || height < kMinPictureSide || width > kMaxPictureSide ||
        height > kMaxPictureSide) {
        message = "The image size is out of range: each side must be 15 to 8192 pixels.";
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
