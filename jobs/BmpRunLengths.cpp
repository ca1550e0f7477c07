#include "jobs/BmpRunLengths.h"

#include <algorithm>

#include "jobs/PictureHeader.h"

namespace kelsor {
namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// The rows being filled, bottom row first as the runs come.
class Rows {
public:
    Rows(std::uint8_t* pixels, std::uint32_t width, std::uint32_t height, std::uint32_t bits,
         std::size_t stride)
        : m_pixels(pixels), m_width(width), m_height(height), m_bits(bits), m_stride(stride) {}

    bool Done() const { return m_y >= m_height; }
    void Put(std::uint8_t index) {
        if (m_x < m_width && m_y < m_height) {
            std::uint8_t* row = m_pixels + m_y * m_stride;
            if (m_bits == 8) {
                row[m_x] = index;
            } else {
                row[m_x / 2] |=
                    (m_x % 2 == 0) ? std::uint8_t(index << 4) : std::uint8_t(index & 15);
            }
        }
        ++m_x;
    }
    void NextLine() {
        m_x = 0;
        ++m_y;
    }
    void Move(std::uint32_t dx, std::uint32_t dy) {
        m_x += dx;
        m_y += dy;
    }

private:
    std::uint8_t* m_pixels;
    std::uint32_t m_width;
    std::uint32_t m_height;
    std::uint32_t m_bits;
    std::size_t m_stride;
    std::size_t m_x = 0;
    std::size_t m_y = 0;
};

// Runs of [count, value] pairs; a zero count starts an escape: 0 end of
// line, 1 end of picture, 2 a move, 3..255 that many literal pixels padded to
// an even number of bytes.
void Expand(const std::uint8_t* runs, std::size_t size, std::uint32_t bits, Rows& rows) {
    std::size_t pos = 0;
    const auto pixel = [bits](std::uint8_t byte, std::size_t i) {
        return bits == 8 ? byte : std::uint8_t(i % 2 == 0 ? byte >> 4 : byte & 15);
    };
    while (!rows.Done() && pos + 2 <= size) {
        const std::uint8_t count = runs[pos];
        const std::uint8_t value = runs[pos + 1];
        pos += 2;
        if (count > 0) {
            for (std::size_t i = 0; i < count; ++i) {
                rows.Put(pixel(value, i));
            }
        } else if (value == 0) {
            rows.NextLine();
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (pos + 2 > size) {
                return;
            }
            rows.Move(runs[pos], runs[pos + 1]);
            pos += 2;
        } else {
            const std::size_t bytes = bits == 8 ? value : (value + 1u) / 2;
            if (pos + bytes > size) {
                return;
            }
            for (std::size_t i = 0; i < value; ++i) {
                rows.Put(pixel(runs[pos + (bits == 8 ? i : i / 2)], i));
            }
            pos += bytes + bytes % 2;
        }
    }
}

}  // namespace

bool ExpandBmpRunLengths(const std::uint8_t* data, std::size_t size,
                         std::vector<std::uint8_t>& out) {
    if (data == nullptr || size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') {
        return false;
    }
    const std::uint32_t headerSize = ReadU32(data + kFileHeader);
    const std::uint32_t pixelOffset = ReadU32(data + 10);
    const auto width = static_cast<std::int32_t>(ReadU32(data + 18));
    // Run-length rows always run bottom-up: the height is positive.
    const auto height = static_cast<std::int32_t>(ReadU32(data + 22));
    const std::uint32_t bits = data[28] | data[29] << 8;
    const std::uint32_t compression = ReadU32(data + 30);
    std::uint32_t colours = ReadU32(data + 46);
    if (!((compression == kRle8 && bits == 8) || (compression == kRle4 && bits == 4)) ||
        headerSize < kInfoHeader || headerSize > size - kFileHeader || width <= 0 || height <= 0 ||
        pixelOffset < kFileHeader + headerSize || pixelOffset > size ||
        !DimensionsWithinLimits({std::uint32_t(width), std::uint32_t(height)})) {
        return false;
    }
    if (colours == 0 || colours > (1u << bits)) {
        colours = 1u << bits;
    }
    const std::size_t paletteStart = kFileHeader + headerSize;
    const std::size_t paletteBytes = std::min<std::size_t>(colours * 4, pixelOffset - paletteStart);
    const std::size_t stride = (std::size_t(width) * bits + 31) / 32 * 4;
    const std::size_t pixelStart = kFileHeader + kInfoHeader + paletteBytes;

    std::vector<std::uint8_t> rewritten(pixelStart + stride * std::size_t(height), 0);
    std::copy(data, data + kFileHeader + kInfoHeader, rewritten.begin());
    std::copy(data + paletteStart, data + paletteStart + paletteBytes,
              rewritten.begin() + kFileHeader + kInfoHeader);
    PutU32(&rewritten[2], static_cast<std::uint32_t>(rewritten.size()));
    PutU32(&rewritten[10], static_cast<std::uint32_t>(pixelStart));
    PutU32(&rewritten[kFileHeader], kInfoHeader);
    PutU32(&rewritten[30], 0);  // plain rows
    PutU32(&rewritten[34], static_cast<std::uint32_t>(stride * std::size_t(height)));
    PutU32(&rewritten[46], static_cast<std::uint32_t>(paletteBytes / 4));
    Rows rows(rewritten.data() + pixelStart, std::uint32_t(width), std::uint32_t(height), bits,
              stride);
    Expand(data + pixelOffset, size - pixelOffset, bits, rows);
    out = std::move(rewritten);
    return true;
}

}  // namespace kelsor
