#include "jobs/PictureHeader.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>

#include "jobs/PictureFormat.h"

namespace kelsor {
namespace {

// A bounds-checked view of the file: every read past the end fails.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t size() const { return m_size; }
    bool has(std::size_t offset, std::size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    bool u8(std::size_t offset, std::uint32_t& v) const {
        if (!has(offset, 1)) {
            return false;
        }
        v = m_data[offset];
        return true;
    }
    bool u16(std::size_t offset, bool bigEndian, std::uint32_t& v) const {
        if (!has(offset, 2)) {
            return false;
        }
        const std::uint8_t* p = m_data + offset;
        v = bigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
        return true;
    }
    bool u32(std::size_t offset, bool bigEndian, std::uint32_t& v) const {
        if (!has(offset, 4)) {
            return false;
        }
        const std::uint8_t* p = m_data + offset;
        v = bigEndian ? (std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3])
                      : (std::uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0]);
        return true;
    }
    bool equals(std::size_t offset, const char* text, std::size_t count) const {
        return has(offset, count) && std::memcmp(m_data + offset, text, count) == 0;
    }
    // The `count` bytes from `offset` as a view of their own (the caller has
    // checked that they are there).
    Bytes sub(std::size_t offset, std::size_t count) const { return Bytes(m_data + offset, count); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

bool PngDimensions(const Bytes& b, PictureDimensions& d) {
    // Signature, then the IHDR chunk must come first.
    return b.equals(12, "IHDR", 4) && b.u32(16, true, d.width) && b.u32(20, true, d.height);
}

bool BmpDimensions(const Bytes& b, PictureDimensions& d) {
    std::uint32_t headerSize = 0;
    if (!b.u32(14, false, headerSize)) {
        return false;
    }
    if (headerSize == 12) {  // OS/2 core header: 16-bit sizes
        return b.u16(18, false, d.width) && b.u16(20, false, d.height);
    }
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    if (headerSize < 16 || !b.u32(18, false, w) || !b.u32(22, false, h)) {
        return false;
    }
    // Signed values: a negative height means rows run top-down.
    const auto magnitude = [](std::uint32_t v) {
        const auto s = static_cast<std::int32_t>(v);
        return s < 0 ? 0u - v : v;
    };
    d.width = magnitude(w);
    d.height = magnitude(h);
    return true;
}

bool IsJpegFrameMarker(std::uint32_t m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// Walks a JPEG's marker segments from the start of the file up to the first
// scan, handing each segment with a length (its marker, the offset of its
// length field and that length) to `visit`, which returns true to stop.
// True when `visit` stopped the walk.
template <typename Visit>
bool WalkJpegSegments(const Bytes& b, Visit visit) {
    std::size_t pos = 2;  // after SOI
    std::uint32_t byte = 0;
    while (b.u8(pos, byte)) {
        if (byte != 0xFF) {
            return false;  // garbage between segments
        }
        std::uint32_t marker = 0xFF;
        while (marker == 0xFF) {
            if (!b.u8(++pos, marker)) {
                return false;
            }
        }
        ++pos;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            continue;  // markers without a length
        }
        if (marker == 0xD9 || marker == 0xDA) {
            return false;  // end of image or scan data
        }
        std::uint32_t length = 0;
        if (!b.u16(pos, true, length) || length < 2) {
            return false;
        }
        if (visit(marker, pos, length)) {
            return true;
        }
        pos += length;
    }
    return false;
}

bool JpegDimensions(const Bytes& b, PictureDimensions& d) {
    bool found = false;
    // The first frame header holds the dimensions; a malformed one ends the search.
    WalkJpegSegments(b, [&](std::uint32_t marker, std::size_t pos, std::uint32_t length) {
        if (!IsJpegFrameMarker(marker)) {
            return false;
        }
        found = length >= 8 && b.u16(pos + 3, true, d.height) && b.u16(pos + 5, true, d.width);
        return true;
    });
    return found;
}

// The Orientation entry (tag 0x0112, one SHORT) of the first directory of
// the TIFF structure an Exif block holds; 0 when there is none.
std::uint32_t ExifOrientation(const Bytes& tiff) {
    const bool big = tiff.equals(0, "MM", 2);
    std::uint32_t magic = 0;
    std::uint32_t ifd = 0;
    std::uint32_t count = 0;
    if ((!big && !tiff.equals(0, "II", 2)) || !tiff.u16(2, big, magic) || magic != 42 ||
        !tiff.u32(4, big, ifd) || !tiff.u16(ifd, big, count)) {
        return 0;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + 12 * std::size_t(i);
        std::uint32_t tag = 0;
        std::uint32_t type = 0;
        std::uint32_t value = 0;
        if (!tiff.u16(entry, big, tag) || !tiff.u16(entry + 2, big, type)) {
            return 0;
        }
        if (tag == 0x0112) {
            return type == 3 && tiff.u16(entry + 8, big, value) ? value : 0;
        }
    }
    return 0;
}

bool IsExifBlock(const Bytes& b, std::uint32_t marker, std::size_t pos, std::uint32_t length) {
    return marker == 0xE1 && length >= 8 && b.equals(pos + 2, "Exif\0\0", 6);
}

std::uint32_t JpegOrientation(const Bytes& b) {
    std::uint32_t orientation = 0;
    // Only the first Exif block counts, as cameras write one.
    WalkJpegSegments(b, [&](std::uint32_t marker, std::size_t pos, std::uint32_t length) {
        if (!IsExifBlock(b, marker, pos, length)) {
            return false;
        }
        const std::size_t start = pos + 2 + 6;  // after the length, "Exif" and two zero bytes
        // A block cut short by the end of what was read still names its
        // orientation: the first directory comes near its start.
        const std::size_t end = std::min<std::size_t>(pos + length, b.size());
        orientation = ExifOrientation(b.sub(start, end - start));
        return true;
    });
    return orientation;
}

bool GifDimensions(const Bytes& b, PictureDimensions& d) {
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    std::uint32_t flags = 0;
    if (!b.u16(6, false, w) || !b.u16(8, false, h) || !b.u8(10, flags)) {
        return false;
    }
    std::size_t pos = 13;
    if (flags & 0x80) {
        pos += 3u * (2u << (flags & 7));
    }
    // Walk extensions up to the first image descriptor; the decoder sizes its
    // bitmap from the screen or the frame, so both count.
    std::uint32_t introducer = 0;
    while (b.u8(pos, introducer)) {
        if (introducer == 0x2C) {
            std::uint32_t fw = 0;
            std::uint32_t fh = 0;
            if (!b.u16(pos + 5, false, fw) || !b.u16(pos + 7, false, fh)) {
                return false;
            }
            d.width = std::max(w, fw);
            d.height = std::max(h, fh);
            return true;
        }
        if (introducer != 0x21) {
            return false;  // trailer or garbage before any frame
        }
        pos += 2;  // introducer and label
        std::uint32_t blockSize = 0;
        do {
            if (!b.u8(pos, blockSize)) {
                return false;
            }
            pos += 1 + blockSize;
        } while (blockSize != 0);
    }
    return false;
}

// The first value of the IFD entry at `entry` of type `type` when that is
// SHORT or LONG (nothing for other types); false when the entry or its value
// lies past the end of the file.
bool TiffEntryValue(const Bytes& b, std::size_t entry, bool big, std::uint32_t type,
                    std::optional<std::uint32_t>& value) {
    value.reset();
    std::uint32_t valueCount = 0;
    if (!b.u32(entry + 4, big, valueCount)) {
        return false;
    }
    const std::uint32_t unit = type == 3 ? 2 : type == 4 ? 4 : 0;
    if (unit == 0) {
        return true;
    }
    // Values sit in the entry itself when they fit in its four bytes,
    // elsewhere at the offset it holds; the first one counts.
    std::size_t at = entry + 8;
    if (std::uint64_t(valueCount) * unit > 4) {
        std::uint32_t offset = 0;
        if (!b.u32(entry + 8, big, offset)) {
            return false;
        }
        at = offset;
    }
    std::uint32_t v = 0;
    if (!(unit == 2 ? b.u16(at, big, v) : b.u32(at, big, v))) {
        return false;
    }
    value = v;
    return true;
}

struct TiffLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t tileWidth = 0;
    std::uint32_t tileHeight = 0;
    std::uint32_t samples = 1;
    std::uint32_t bits = 1;
};

bool TiffDimensions(const Bytes& b, PictureDimensions& d) {
    const bool big = b.equals(0, "MM", 2);
    std::uint32_t magic = 0;
    std::uint32_t ifd = 0;
    std::uint32_t count = 0;
    if (!b.u16(2, big, magic) || magic != 42 || !b.u32(4, big, ifd) || !b.u16(ifd, big, count)) {
        return false;
    }
    static constexpr std::pair<std::uint32_t, std::uint32_t TiffLayout::*> kTags[] = {
        {256, &TiffLayout::width},   {257, &TiffLayout::height},    {258, &TiffLayout::bits},
        {277, &TiffLayout::samples}, {322, &TiffLayout::tileWidth}, {323, &TiffLayout::tileHeight},
    };
    TiffLayout layout;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + 12 * std::size_t(i);
        std::uint32_t tag = 0;
        std::uint32_t type = 0;
        if (!b.u16(entry, big, tag) || !b.u16(entry + 2, big, type)) {
            return false;
        }
        const auto* field = std::find_if(std::begin(kTags), std::end(kTags),
                                         [tag](const auto& known) { return known.first == tag; });
        if (field == std::end(kTags)) {
            continue;
        }
        std::optional<std::uint32_t> value;
        if (!TiffEntryValue(b, entry, big, type, value)) {
            return false;
        }
        // A tag may appear more than once; decoders differ in which one they
        // take, so the largest value of each counts.
        if (value) {
            std::uint32_t& kept = layout.*(field->second);
            kept = std::max(kept, *value);
        }
    }
    const std::uint32_t bits = layout.bits;
    const std::uint32_t samples = layout.samples;
    // Only sample layouts of real pictures: up to five samples (CMYK with
    // alpha), power-of-two sizes, and whole bytes once there are several
    // samples. The decoder asserts on some of the others.
    const bool bitsOk =
        bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 32 || bits == 64;
    if (samples == 0 || samples > 5 || !bitsOk || (samples > 1 && bits < 8)) {
        return false;
    }
    if ((layout.tileWidth != 0 || layout.tileHeight != 0) &&
        !DimensionsWithinLimits(PictureDimensions{layout.tileWidth, layout.tileHeight})) {
        return false;
    }
    d.width = layout.width;
    d.height = layout.height;
    return true;
}

void PutU32(std::vector<std::uint8_t>& out, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

}  // namespace

int SniffPictureFormat(const std::uint8_t* data, std::size_t size) {
    const Bytes b(data, size);
    if (b.equals(0, "\xFF\xD8", 2)) {
        return ImageFormatJpeg;
    }
    if (b.equals(0, "BM", 2)) {
        return ImageFormatBmp;
    }
    if (b.equals(0, "\x89PNG\r\n\x1A\n", 8)) {
        return ImageFormatPng;
    }
    if (b.equals(0, "GIF89a", 6) || b.equals(0, "GIF87a", 6)) {
        return ImageFormatGif;
    }
    if (b.equals(0, "II", 2) || b.equals(0, "MM", 2)) {
        return ImageFormatTiff;
    }
    return ImageFormatUnknown;
}

bool ReadPictureDimensions(const std::uint8_t* data, std::size_t size, int format,
                           PictureDimensions& dimensions) {
    const Bytes b(data, size);
    dimensions = {};
    switch (format) {
        case ImageFormatPng:
            return PngDimensions(b, dimensions);
        case ImageFormatBmp:
            return BmpDimensions(b, dimensions);
        case ImageFormatJpeg:
            return JpegDimensions(b, dimensions);
        case ImageFormatGif:
            return GifDimensions(b, dimensions);
        case ImageFormatTiff:
            return TiffDimensions(b, dimensions);
        default:
            return false;
    }
}

int ReadPictureOrientation(const std::uint8_t* data, std::size_t size, int format) {
    if (format != ImageFormatJpeg) {
        return kOrientationUpright;
    }
    const std::uint32_t orientation = JpegOrientation(Bytes(data, size));
    return orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation)
                                                : kOrientationUpright;
}

PictureDimensions UprightDimensions(const PictureDimensions& stored, int orientation) {
    return orientation >= 5 && orientation <= 8 ? PictureDimensions{stored.height, stored.width}
                                                : stored;
}

bool DimensionsWithinLimits(const PictureDimensions& d) {
    return d.width > 0 && d.height > 0 && d.width <= kMaxPictureSide &&
           d.height <= kMaxPictureSide && std::uint64_t(d.width) * d.height <= kMaxPicturePixels;
}

bool StripJpegExifBlocks(const std::uint8_t* data, std::size_t size,
                         std::vector<std::uint8_t>& out) {
    const Bytes b(data, size);
    std::vector<std::pair<std::size_t, std::size_t>> blocks;  // [begin, end) with the marker
    WalkJpegSegments(b, [&](std::uint32_t marker, std::size_t pos, std::uint32_t length) {
        if (IsExifBlock(b, marker, pos, length)) {
            blocks.emplace_back(pos - 2, std::min<std::size_t>(pos + length, size));
        }
        return false;
    });
    if (blocks.empty()) {
        return false;
    }
    std::vector<std::uint8_t> stripped;
    stripped.reserve(size);
    std::size_t from = 0;
    for (const auto& [begin, end] : blocks) {
        stripped.insert(stripped.end(), data + from, data + begin);
        from = end;
    }
    stripped.insert(stripped.end(), data + from, data + size);
    out = std::move(stripped);
    return true;
}

bool RewriteBmpWithInfoHeader(const std::uint8_t* data, std::size_t size,
                              std::vector<std::uint8_t>& out) {
    constexpr std::size_t kFileHeader = 14;
    constexpr std::uint32_t kInfoHeader = 40;
    const Bytes b(data, size);
    std::uint32_t headerSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    std::uint32_t colours = 0;
    if (!b.equals(0, "BM", 2) || !b.u32(10, false, pixelOffset) ||
        !b.u32(kFileHeader, false, headerSize) || headerSize <= kInfoHeader ||
        !b.has(kFileHeader, headerSize) || !b.u16(28, false, bits) ||
        !b.u32(30, false, compression) || !b.u32(46, false, colours)) {
        return false;
    }
    const std::size_t headerEnd = kFileHeader + headerSize;
    if (pixelOffset < headerEnd || pixelOffset > size) {
        return false;
    }
    // BI_BITFIELDS (3) and BI_ALPHABITFIELDS (6): the newer headers hold the
    // red, green and blue masks themselves; the plain one wants them after it.
    const bool masks = compression == 3 || compression == 6;
    if (masks && headerSize < 52) {
        return false;
    }
    if (colours == 0 && bits <= 8) {
        colours = 1u << bits;
    }
    const std::size_t paletteBytes =
        bits <= 8 ? std::min<std::size_t>(std::size_t(colours) * 4, pixelOffset - headerEnd) : 0;
    std::vector<std::uint8_t> rewritten(data, data + kFileHeader + kInfoHeader);
    if (masks) {
        rewritten.insert(rewritten.end(), data + kFileHeader + 40, data + kFileHeader + 52);
        PutU32(rewritten, 30, 3);
    }
    rewritten.insert(rewritten.end(), data + headerEnd, data + headerEnd + paletteBytes);
    const std::size_t newPixelOffset = rewritten.size();
    rewritten.insert(rewritten.end(), data + pixelOffset, data + size);
    PutU32(rewritten, 2, static_cast<std::uint32_t>(rewritten.size()));
    PutU32(rewritten, 10, static_cast<std::uint32_t>(newPixelOffset));
    PutU32(rewritten, kFileHeader, kInfoHeader);
    out = std::move(rewritten);
    return true;
}

}  // namespace kelsor
