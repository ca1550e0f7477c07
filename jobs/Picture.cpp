#include "jobs/Picture.h"

#include <FreeImage.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "jobs/BmpRunLengths.h"
#include "jobs/FileIo.h"
#include "jobs/ImagingLibrary.h"
#include "jobs/PictureFormat.h"
#include "jobs/PictureHeader.h"

namespace kelsor {
namespace {

FREE_IMAGE_FORMAT LibraryFormat(int formatCode) {
    switch (formatCode) {
        case ImageFormatBmp:
            return FIF_BMP;
        case ImageFormatGif:
            return FIF_GIF;
        case ImageFormatJpeg:
            return FIF_JPEG;
        case ImageFormatPng:
            return FIF_PNG;
        case ImageFormatTiff:
            return FIF_TIFF;
        default:
            return FIF_UNKNOWN;
    }
}

// Memory stream over bytes the caller keeps alive.
class MemoryStream {
public:
    MemoryStream(const std::uint8_t* data, std::size_t size)
        : m_stream(FreeImage_OpenMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))) {}
    MemoryStream() : m_stream(FreeImage_OpenMemory()) {}
    ~MemoryStream() {
        if (m_stream != nullptr) {
            FreeImage_CloseMemory(m_stream);
        }
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    FIMEMORY* get() const { return m_stream; }

private:
    FIMEMORY* m_stream;
};

bool IsGreyPalette(FIBITMAP* dib) {
    const unsigned colours = FreeImage_GetColorsUsed(dib);
    const RGBQUAD* palette = FreeImage_GetPalette(dib);
    if (colours == 0 || palette == nullptr) {
        return false;
    }
    for (unsigned i = 0; i < colours; ++i) {
        if (palette[i].rgbRed != palette[i].rgbGreen || palette[i].rgbRed != palette[i].rgbBlue) {
            return false;
        }
    }
    return true;
}

// The background colour of a 24-bit picture's outermost pixels: the mean of
// the most common of their colours taken 16 levels a channel. A cut around
// text has its glyphs touching the edge, in every shade of their smoothing;
// the background is one colour, the most common even where glyphs cover
// most of the edge.
std::array<BYTE, 3> EdgeColour(FIBITMAP* dib) {
    const int width = int(FreeImage_GetWidth(dib));
    const int height = int(FreeImage_GetHeight(dib));
    struct Bin {
        int count = 0;
        std::array<int, 3> sums{};
    };
    std::map<int, Bin> bins;
    const auto take = [&](int x, int y) {
        const BYTE* pixel = FreeImage_GetScanLine(dib, y) + std::size_t(x) * 3;
        Bin& bin = bins[(pixel[0] >> 4) << 8 | (pixel[1] >> 4) << 4 | pixel[2] >> 4];
        ++bin.count;
        for (int c = 0; c < 3; ++c) {
            bin.sums[c] += pixel[c];
        }
    };
    for (int x = 0; x < width; ++x) {
        take(x, 0);
        if (height > 1) {
            take(x, height - 1);
        }
    }
    for (int y = 1; y + 1 < height; ++y) {
        take(0, y);
        if (width > 1) {
            take(width - 1, y);
        }
    }
    const Bin& most = std::max_element(bins.begin(), bins.end(), [](const auto& a, const auto& b) {
                          return a.second.count < b.second.count;
                      })->second;
    std::array<BYTE, 3> edge{};
    for (int c = 0; c < 3; ++c) {
        edge[c] = BYTE((most.sums[c] + most.count / 2) / most.count);
    }
    return edge;
}

// Turns a decoded picture as its Exif orientation asks (PictureHeader.h
// names the eight). Takes ownership of `dib`; null when a turn fails.
FIBITMAP* TurnUpright(FIBITMAP* dib, int orientation) {
    struct Turn {
        int degrees;  // anticlockwise, first
        bool mirrorLeftRight;
        bool mirrorTopBottom;
    };
    // Indexed by orientation.
    static constexpr Turn kTurns[] = {
        {0, false, false},    // none
        {0, false, false},    // 1: as stored
        {0, true, false},     // 2
        {0, true, true},      // 3: half round, without a copy
        {0, false, true},     // 4
        {-90, true, false},   // 5
        {-90, false, false},  // 6
        {90, true, false},    // 7
        {90, false, false},   // 8
    };
    if (orientation <= kOrientationUpright || orientation >= int(std::size(kTurns))) {
        return dib;
    }
    const Turn& turn = kTurns[orientation];
    if (turn.degrees != 0) {
        FIBITMAP* turned = FreeImage_Rotate(dib, turn.degrees);
        FreeImage_Unload(dib);
        dib = turned;
    }
    if (dib == nullptr || (turn.mirrorLeftRight && !FreeImage_FlipHorizontal(dib)) ||
        (turn.mirrorTopBottom && !FreeImage_FlipVertical(dib))) {
        FreeImage_Unload(dib);
        return nullptr;
    }
    return dib;
}

// A float colour picture (FIT_RGBF, FIT_RGBAF) as 8 bits per channel,
// samples 0..1 mapped linearly and clamped; null when it cannot be made.
FIBITMAP* FloatColourTo8Bits(FIBITMAP* dib) {
    const bool alpha = FreeImage_GetImageType(dib) == FIT_RGBAF;
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    FIBITMAP* out = FreeImage_Allocate(int(width), int(height), alpha ? 32 : 24);
    if (out == nullptr) {
        return nullptr;
    }
    const auto byte = [](float v) {
        return static_cast<BYTE>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
    };
    const unsigned samples = alpha ? 4 : 3;
    for (unsigned y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const float*>(FreeImage_GetScanLine(dib, int(y)));
        BYTE* dst = FreeImage_GetScanLine(out, int(y));
        for (unsigned x = 0; x < width; ++x, src += samples, dst += samples) {
            dst[FI_RGBA_RED] = byte(src[0]);
            dst[FI_RGBA_GREEN] = byte(src[1]);
            dst[FI_RGBA_BLUE] = byte(src[2]);
            if (alpha) {
                dst[FI_RGBA_ALPHA] = byte(src[3]);
            }
        }
    }
    return out;
}

// 16-bit and float pictures (what scanners and photo editors write) become
// ordinary 8-bit-per-channel bitmaps, so that every later step sees one kind
// of picture. Colour keeps its alpha for the compositing on white. Takes
// ownership of `dib`; null when no conversion applies.
FIBITMAP* ToEightBitsPerChannel(FIBITMAP* dib) {
    FIBITMAP* converted = nullptr;
    switch (FreeImage_GetImageType(dib)) {
        case FIT_BITMAP:
            return dib;
        case FIT_RGB16:
            converted = FreeImage_ConvertTo24Bits(dib);
            break;
        case FIT_RGBA16:
            converted = FreeImage_ConvertTo32Bits(dib);
            break;
        case FIT_RGBF:
        case FIT_RGBAF:
            converted = FloatColourTo8Bits(dib);
            break;
        case FIT_UINT16:
            // The high byte of each sample: a stretch between the darkest and
            // the lightest sample would change the picture's contrast.
            converted = FreeImage_ConvertTo8Bits(dib);
            break;
        default:
            break;
    }
    if (converted == nullptr) {
        converted = FreeImage_ConvertToStandardType(dib, TRUE);
    }
    FreeImage_Unload(dib);
    return converted;
}

}  // namespace

Picture::~Picture() {
    Release();
}

void Picture::Release() {
    Reset(nullptr);
}

void Picture::Reset(FIBITMAP* bitmap) {
    if (m_bitmap != nullptr && m_bitmap != bitmap) {
        FreeImage_Unload(m_bitmap);
    }
    m_bitmap = bitmap;
    if (bitmap == nullptr) {
        m_format = ImageFormatUnknown;
    }
}

FIBITMAP* Picture::TakeBitmap() {
    FIBITMAP* bitmap = m_bitmap;
    m_bitmap = nullptr;
    m_format = ImageFormatUnknown;
    return bitmap;
}

bool Picture::Load(const std::wstring& path, int formatCode) {
    Release();
    std::vector<std::uint8_t> bytes;
    if (ReadFileBytes(path, kMaxPictureFileBytes, bytes) != ReadResult::Ok) {
        return false;
    }
    return LoadFromMemory(bytes.data(), bytes.size(), formatCode);
}

bool Picture::LoadReduced(const std::wstring& path, int side) {
    Release();
    std::vector<std::uint8_t> bytes;
    if (side <= 0 || side > 0xffff ||
        ReadFileBytes(path, kMaxPictureFileBytes, bytes) != ReadResult::Ok) {
        return false;
    }
    // The JPEG decoder takes the wanted size in the upper half of its flags.
    return LoadBytes(bytes.data(), bytes.size(), side << 16);
}

bool Picture::LoadFromMemory(const std::uint8_t* data, std::size_t size, int formatCode) {
    static_cast<void>(formatCode);
    return LoadBytes(data, size, 0);
}

bool Picture::LoadBytes(const std::uint8_t* data, std::size_t size, int loadFlags) {
    Release();
    if (data == nullptr || size == 0 || size > kMaxPictureFileBytes) {
        return false;
    }
    const int format = SniffPictureFormat(data, size);
    const int orientation = ReadPictureOrientation(data, size, format);
    const FREE_IMAGE_FORMAT fif = LibraryFormat(format);
    PictureDimensions claimed;
    if (fif == FIF_UNKNOWN || !ReadPictureDimensions(data, size, format, claimed) ||
        !DimensionsWithinLimits(claimed)) {
        return false;
    }
    std::vector<std::uint8_t> rewritten;
    if ((format == ImageFormatBmp && (ExpandBmpRunLengths(data, size, rewritten) ||
                                      RewriteBmpWithInfoHeader(data, size, rewritten))) ||
        (format == ImageFormatJpeg && StripJpegExifBlocks(data, size, rewritten))) {
        data = rewritten.data();
        size = rewritten.size();
    }
    InitImagingLibrary();
    MemoryStream stream(data, size);
    if (stream.get() == nullptr) {
        return false;
    }
    // Second opinion on the dimensions from the decoder's own header reading,
    // so that a header the two read differently cannot slip through.
    if (FreeImage_FIFSupportsNoPixels(fif)) {
        FIBITMAP* header = FreeImage_LoadFromMemory(fif, stream.get(), FIF_LOAD_NOPIXELS);
        if (header == nullptr) {
            return false;
        }
        const bool fits =
            DimensionsWithinLimits({FreeImage_GetWidth(header), FreeImage_GetHeight(header)});
        FreeImage_Unload(header);
        if (!fits || !FreeImage_SeekMemory(stream.get(), 0, SEEK_SET)) {
            return false;
        }
    }
    const int jpegFlags = loadFlags | (m_accurateJpeg ? JPEG_ACCURATE : 0);
    FIBITMAP* dib = FreeImage_LoadFromMemory(fif, stream.get(), fif == FIF_JPEG ? jpegFlags : 0);
    if (dib == nullptr) {
        return false;
    }
    // A decoder may still come up with other dimensions than the header
    // announced (a later frame, a later image); hold the same limits.
    if (!FreeImage_HasPixels(dib) ||
        !DimensionsWithinLimits({FreeImage_GetWidth(dib), FreeImage_GetHeight(dib)})) {
        FreeImage_Unload(dib);
        return false;
    }
    dib = ToEightBitsPerChannel(dib);
    if (dib == nullptr) {
        return false;
    }
    // Photos taken sideways are stored as the sensor saw them; every user of
    // the picture (the canvas, the conversion) wants them as the eye does.
    dib = TurnUpright(dib, orientation);
    if (dib == nullptr) {
        return false;
    }
    Reset(dib);
    m_format = format;
    return true;
}

bool Picture::CreateFromPixels(const PixelBuffer& pixels) {
    Release();
    if (pixels.pixels == nullptr || pixels.width <= 0 || pixels.height <= 0 ||
        pixels.bytesPerLine < pixels.width * 4 ||
        !DimensionsWithinLimits({std::uint32_t(pixels.width), std::uint32_t(pixels.height)})) {
        return false;
    }
    InitImagingLibrary();
    FIBITMAP* dib = FreeImage_Allocate(pixels.width, pixels.height, 24);
    if (dib == nullptr) {
        return false;
    }
    // FreeImage stores rows bottom-up.
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint8_t* src = pixels.pixels + std::size_t(y) * pixels.bytesPerLine;
        BYTE* dst = FreeImage_GetScanLine(dib, pixels.height - 1 - y);
        for (int x = 0; x < pixels.width; ++x) {
            dst[FI_RGBA_BLUE] = src[0];
            dst[FI_RGBA_GREEN] = src[1];
            dst[FI_RGBA_RED] = src[2];
            src += 4;
            dst += 3;
        }
    }
    Reset(dib);
    return true;
}

int Picture::Width() const {
    return m_bitmap ? static_cast<int>(FreeImage_GetWidth(m_bitmap)) : 0;
}

int Picture::Height() const {
    return m_bitmap ? static_cast<int>(FreeImage_GetHeight(m_bitmap)) : 0;
}

bool Picture::IsGrayScale() const {
    if (m_bitmap == nullptr || FreeImage_GetBPP(m_bitmap) > 8) {
        return false;
    }
    const FREE_IMAGE_COLOR_TYPE type = FreeImage_GetColorType(m_bitmap);
    return type == FIC_MINISBLACK || type == FIC_MINISWHITE || IsGreyPalette(m_bitmap);
}

bool Picture::HasTransparency() const {
    return m_bitmap != nullptr && FreeImage_IsTransparent(m_bitmap);
}

bool Picture::IncreaseBpp24() {
    if (m_bitmap == nullptr) {
        return false;
    }
    const unsigned bpp = FreeImage_GetBPP(m_bitmap);
    if (bpp == 24) {
        return true;
    }
    // Transparent parts land on white, as a viewer shows them: dropping the
    // alpha would leave whatever colour they hold (often black, under black
    // text). The compositing takes 8 or 32 bits; other depths go to 32 first.
    FIBITMAP* raised = nullptr;
    if (HasTransparency()) {
        FIBITMAP* rgba = bpp == 32 || bpp == 8 ? nullptr : FreeImage_ConvertTo32Bits(m_bitmap);
        RGBQUAD white{255, 255, 255, 0};
        raised = FreeImage_Composite(rgba != nullptr ? rgba : m_bitmap, FALSE, &white, nullptr);
        if (rgba != nullptr) {
            FreeImage_Unload(rgba);
        }
    }
    if (raised == nullptr) {
        raised = FreeImage_ConvertTo24Bits(m_bitmap);
    }
    if (raised == nullptr) {
        return false;
    }
    Reset(raised);
    return true;
}

void Picture::SetJpegQuality(int quality) {
    m_jpegQuality = std::clamp(quality, 1, 100);
}

bool Picture::Crop(int left, int top, int right, int bottom) {
    if (m_bitmap == nullptr) {
        return false;
    }
    if (left > right) {
        std::swap(left, right);
    }
    if (top > bottom) {
        std::swap(top, bottom);
    }
    left = std::clamp(left, 0, Width());
    right = std::clamp(right, 0, Width());
    top = std::clamp(top, 0, Height());
    bottom = std::clamp(bottom, 0, Height());
    if (left == right || top == bottom) {
        return false;
    }
    FIBITMAP* cropped = FreeImage_Copy(m_bitmap, left, top, right, bottom);
    if (cropped == nullptr) {
        return false;
    }
    Reset(cropped);
    return true;
}

bool Picture::PadRightBottom(int width, int height) {
    if (m_bitmap == nullptr) {
        return false;
    }
    const int oldWidth = Width();
    const int oldHeight = Height();
    const int newWidth = std::max(width, oldWidth);
    const int newHeight = std::max(height, oldHeight);
    if (newWidth == oldWidth && newHeight == oldHeight) {
        return true;
    }
    if (!DimensionsWithinLimits({std::uint32_t(newWidth), std::uint32_t(newHeight)})) {
        return false;
    }
    // Transparent parts land on white first, as for every picture sent.
    FIBITMAP* padded = IncreaseBpp24() ? FreeImage_Allocate(newWidth, newHeight, 24) : nullptr;
    if (padded == nullptr) {
        return false;
    }
    const std::array<BYTE, 3> edge = EdgeColour(m_bitmap);
    // FreeImage stores rows bottom-up: row y from the top is scan line height - 1 - y.
    for (int y = 0; y < newHeight; ++y) {
        BYTE* dst = FreeImage_GetScanLine(padded, newHeight - 1 - y);
        int x = 0;
        if (y < oldHeight) {
            const BYTE* src = FreeImage_GetScanLine(m_bitmap, oldHeight - 1 - y);
            std::copy(src, src + std::size_t(oldWidth) * 3, dst);
            x = oldWidth;
        }
        for (; x < newWidth; ++x) {
            std::copy(edge.begin(), edge.end(), dst + std::size_t(x) * 3);
        }
    }
    Reset(padded);
    return true;
}

bool Picture::ShrinkToFit(int side) {
    if (m_bitmap == nullptr || side <= 0) {
        return false;
    }
    if (Width() <= side && Height() <= side) {
        return true;
    }
    FIBITMAP* small = FreeImage_MakeThumbnail(m_bitmap, side, TRUE);
    if (small == nullptr) {
        return false;
    }
    const int format = m_format;
    Reset(small);
    m_format = format;
    return true;
}

bool Picture::PaintOver(const std::vector<Area>& areas) {
    if (!IncreaseBpp24()) {
        return false;
    }
    const std::array<BYTE, 3> edge = EdgeColour(m_bitmap);
    const int width = Width();
    const int height = Height();
    for (const Area& area : areas) {
        double top = area[0][1], bottom = top;
        for (const auto& corner : area) {
            top = std::min(top, corner[1]);
            bottom = std::max(bottom, corner[1]);
        }
        const int firstRow = std::max(0, int(std::floor(top)));
        const int lastRow = std::min(height - 1, int(std::ceil(bottom)));
        for (int y = firstRow; y <= lastRow; ++y) {
            // Where the row's middle crosses the area's edges.
            const double at = y + 0.5;
            double left = std::numeric_limits<double>::max();
            double right = std::numeric_limits<double>::lowest();
            for (std::size_t i = 0; i < 4; ++i) {
                const auto& a = area[i];
                const auto& b = area[(i + 1) % 4];
                if ((a[1] <= at && b[1] >= at) || (b[1] <= at && a[1] >= at)) {
                    const double x =
                        a[1] == b[1] ? a[0] : a[0] + (at - a[1]) * (b[0] - a[0]) / (b[1] - a[1]);
                    left = std::min({left, x, a[1] == b[1] ? b[0] : x});
                    right = std::max({right, x, a[1] == b[1] ? b[0] : x});
                }
            }
            const int from = std::max(0, int(std::floor(left)));
            const int to = std::min(width - 1, int(std::ceil(right)));
            BYTE* row = FreeImage_GetScanLine(m_bitmap, height - 1 - y);
            for (int x = from; x <= to; ++x) {
                std::copy(edge.begin(), edge.end(), row + std::size_t(x) * 3);
            }
        }
    }
    return true;
}

bool Picture::Save(const std::wstring& path, int formatCode) const {
    std::vector<std::uint8_t> bytes;
    return formatCode == ImageFormatJpeg && !path.empty() && Encode(formatCode, bytes) &&
           WriteFileBytes(
               path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool Picture::Encode(int formatCode, std::vector<std::uint8_t>& bytes) const {
    if (m_bitmap == nullptr || (formatCode != ImageFormatJpeg && formatCode != ImageFormatPng)) {
        return false;
    }
    // The JPEG encoder takes 24-bit colour or 8-bit grey with a plain ramp.
    const unsigned bpp = FreeImage_GetBPP(m_bitmap);
    const bool grey = IsGrayScale();
    const bool ready =
        formatCode == ImageFormatPng ||
        (grey ? bpp == 8 && FreeImage_GetColorType(m_bitmap) == FIC_MINISBLACK : bpp == 24);
    FIBITMAP* converted = nullptr;
    if (!ready) {
        converted =
            grey ? FreeImage_ConvertToGreyscale(m_bitmap) : FreeImage_ConvertTo24Bits(m_bitmap);
        if (converted == nullptr) {
            return false;
        }
    }
    FIBITMAP* source = converted != nullptr ? converted : m_bitmap;
    MemoryStream stream;
    bool saved = stream.get() != nullptr &&
                 (formatCode == ImageFormatPng
                      ? FreeImage_SaveToMemory(FIF_PNG, source, stream.get(), PNG_DEFAULT)
                      : FreeImage_SaveToMemory(FIF_JPEG, source, stream.get(), m_jpegQuality));
    if (converted != nullptr) {
        FreeImage_Unload(converted);
    }
    BYTE* data = nullptr;
    DWORD size = 0;
    if (saved) {
        saved = FreeImage_AcquireMemory(stream.get(), &data, &size) && size > 0;
    }
    if (saved) {
        bytes.assign(data, data + size);
    }
    return saved;
}

bool Picture::GreyPixels(std::vector<std::uint8_t>& grey) const {
    grey.clear();
    if (m_bitmap == nullptr) {
        return false;
    }
    // Through 24 bits first: the composite puts transparent parts on white,
    // where a code drawn on a transparent ground is read dark on light.
    FIBITMAP* colour = HasTransparency() ? FreeImage_Composite(m_bitmap, FALSE, nullptr, nullptr)
                                         : FreeImage_ConvertTo24Bits(m_bitmap);
    FIBITMAP* converted = colour != nullptr ? FreeImage_ConvertToGreyscale(colour) : nullptr;
    if (colour != nullptr) {
        FreeImage_Unload(colour);
    }
    if (converted == nullptr) {
        return false;
    }
    const int width = int(FreeImage_GetWidth(converted));
    const int height = int(FreeImage_GetHeight(converted));
    grey.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const BYTE* row = FreeImage_GetScanLine(converted, height - 1 - y);
        std::copy(row, row + width, grey.begin() + std::ptrdiff_t(y) * width);
    }
    FreeImage_Unload(converted);
    return true;
}

}  // namespace kelsor
