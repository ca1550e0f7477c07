#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jobs/PixelBuffer.h"

struct FIBITMAP;

// One decoded picture: the small set of imaging operations the picture
// utilities rely on, over FreeImage. Decoding is guarded: only the formats
// the program reads are enabled, and a header that claims dimensions beyond
// the limits in PictureHeader.h is refused before any pixel is allocated.
namespace kelsor {

constexpr int kDefaultJpegQuality = 90;

class Picture {
public:
    Picture() = default;
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Loads a file. The decoder follows the file's signature, whatever the
    // extension's `formatCode` says (a PNG named .jpg loads as a PNG); a file
    // without a known signature is not handed to any decoder. A JPEG whose
    // Exif orientation says it is stored turned or mirrored (a photo taken
    // sideways) comes out upright. Exif blocks never reach the decoder, so a
    // JPEG saved from the picture carries none (no stale orientation that
    // would turn it a second time).
    bool Load(const std::wstring& path, int formatCode);
    bool LoadFromMemory(const std::uint8_t* data, std::size_t size, int formatCode);
    // Load for a small view: a JPEG may be decoded at a fraction of its size
    // (never below `side` pixels a side), which is several times faster;
    // other formats load whole.
    bool LoadReduced(const std::wstring& path, int side);
    // JPEGs loaded from now on are decoded with the exact transform rather
    // than the fast one, whose errors show as specks in blocks of sharp
    // edges (a code's modules read wrongly).
    void DecodeJpegAccurately() { m_accurateJpeg = true; }
    // Copies 32-bit pixels (no palette); alpha is dropped.
    bool CreateFromPixels(const PixelBuffer& pixels);

    bool IsValid() const { return m_bitmap != nullptr; }
    // The format the loaded file's signature named (ImageFormat codes);
    // ImageFormatUnknown for pictures made from pixels or none at all.
    int Format() const { return m_format; }
    int Width() const;
    int Height() const;
    // True for pictures of at most 8 bits whose every palette entry is grey.
    bool IsGrayScale() const;
    // True when part of the picture is transparent (an alpha channel or a
    // transparent palette entry).
    bool HasTransparency() const;
    // Raises the colour depth to 24 bits; transparent parts land on white.
    bool IncreaseBpp24();
    void SetJpegQuality(int quality);
    // Scales the picture down to at most `side` pixels a side, keeping its
    // proportions; a smaller picture stays as it is.
    bool ShrinkToFit(int side);
    // Crops in place to [left, right) x [top, bottom), corners in either order,
    // clipped to the picture. False (picture unchanged) when nothing is left.
    bool Crop(int left, int top, int right, int bottom);
    // Grows the picture to at least `width` x `height` by adding columns at
    // its right and rows at its bottom in its edge colour (the most common
    // colour of its outermost pixels), so that a point keeps its place. The picture
    // becomes 24-bit (transparent parts on white) when it has to grow. False
    // when it cannot be grown.
    bool PadRightBottom(int width, int height);
    // Paints each area (a convex four-cornered one, corners in order, in
    // pixels from the top-left) in the picture's edge colour. The picture
    // becomes 24-bit (transparent parts on white). False when it is empty.
    using Area = std::array<std::array<double, 2>, 4>;
    bool PaintOver(const std::vector<Area>& areas);
    // Saves with a format code; only ImageFormatJpeg is written. The target is
    // replaced only when the encoding succeeded.
    bool Save(const std::wstring& path, int formatCode) const;
    // The file Save would write, in ImageFormatJpeg or ImageFormatPng (as
    // the picture is, losslessly); false (and `bytes` untouched) when the
    // encoding fails.
    bool Encode(int formatCode, std::vector<std::uint8_t>& bytes) const;
    // The picture as 8-bit grey, Width() x Height() bytes, rows top-down;
    // transparent parts on white. False (and `grey` empty) when empty.
    bool GreyPixels(std::vector<std::uint8_t>& grey) const;
    void Release();
    // Hands the decoded bitmap to the caller, who unloads it; the picture is
    // empty afterwards. Null when there is none.
    FIBITMAP* TakeBitmap();

private:
    void Reset(FIBITMAP* bitmap);
    bool LoadBytes(const std::uint8_t* data, std::size_t size, int loadFlags);

    FIBITMAP* m_bitmap = nullptr;
    int m_format = 0;  // ImageFormatUnknown
    int m_jpegQuality = kDefaultJpegQuality;
    bool m_accurateJpeg = false;
};

}  // namespace kelsor
