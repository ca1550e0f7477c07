#include "jobs/PictureCodes.h"

#include <ZXing/ReadBarcode.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "jobs/Picture.h"
#include "jobs/PictureFormat.h"
#include "jobs/PictureHeader.h"

namespace kelsor {
namespace {

constexpr ZXing::BarcodeFormats kMatrixFormats =
    ZXing::BarcodeFormat::QRCode | ZXing::BarcodeFormat::MicroQRCode |
    ZXing::BarcodeFormat::DataMatrix | ZXing::BarcodeFormat::Aztec | ZXing::BarcodeFormat::PDF417;
constexpr ZXing::BarcodeFormats kLinearFormats =
    ZXing::BarcodeFormat::EAN8 | ZXing::BarcodeFormat::EAN13 | ZXing::BarcodeFormat::UPCA |
    ZXing::BarcodeFormat::UPCE | ZXing::BarcodeFormat::Code39 | ZXing::BarcodeFormat::Code93 |
    ZXing::BarcodeFormat::Code128 | ZXing::BarcodeFormat::ITF | ZXing::BarcodeFormat::Codabar;

bool IsUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t more = 0;
        char32_t point = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1, point = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2, point = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3, point = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= bytes.size()) {
            return false;  // cut short
        }
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            point = (point << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and points beyond Unicode are not UTF-8.
        const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += more + 1;
    }
    return true;
}

bool Gb18030ToUtf8(const std::string& bytes, std::string& utf8) {
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    // Strict: an invalid or cut sequence fails the whole payload.
    const std::size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || inLeft != 0) {
        return false;
    }
    out.resize(out.size() - outLeft);
    utf8 = std::move(out);
    return true;
}

// Without an ECI naming the character set, the reader guesses one among
// Latin-1, Shift JIS and UTF-8; text from Chinese systems is as often GB
// 18030 (or GBK, its subset), which it does not guess.
std::string PayloadOf(const ZXing::Result& result) {
    if (!result.hasECI()) {
        const ZXing::ByteArray& raw = result.bytes();
        std::string text;
        if (PayloadBytesToUtf8(std::string(raw.begin(), raw.end()), text)) {
            return text;
        }
    }
    return result.text();
}

// Cells of kCellSide pixels whose darkest and lightest pixels differ by
// this much hold ink.
constexpr int kCellSide = 8;
constexpr int kCellContrast = 80;
// The most places looked at again for a centred code, largest first.
constexpr std::size_t kMostCandidates = 64;
// The most barcodes read in one picture.
constexpr int kMostBarcodes = 16;

struct Region {
    int left = 0;
    int top = 0;
    int right = 0;  // past the end
    int bottom = 0;
    int Area() const { return (right - left) * (bottom - top); }
};

// Blocks of ink as wide as high, give or take: where a Data Matrix or Aztec
// code can be. Those readers find a code only around the middle of the
// picture they are given, so each such block is given to them on its own.
std::vector<Region> CodeShapedRegions(const GreyImage& picture) {
    const int cols = picture.width / kCellSide;
    const int rows = picture.height / kCellSide;
    std::vector<std::uint8_t> ink(std::size_t(cols) * std::size_t(rows), 0);
    for (int cy = 0; cy < rows; ++cy) {
        for (int cx = 0; cx < cols; ++cx) {
            int low = 255;
            int high = 0;
            for (int y = cy * kCellSide; y < (cy + 1) * kCellSide; ++y) {
                const std::uint8_t* row = &picture.pixels[std::size_t(y) * picture.width];
                for (int x = cx * kCellSide; x < (cx + 1) * kCellSide; ++x) {
                    low = std::min<int>(low, row[x]);
                    high = std::max<int>(high, row[x]);
                }
            }
            ink[std::size_t(cy) * cols + cx] = high - low >= kCellContrast ? 1 : 0;
        }
    }
    std::vector<Region> regions;
    std::vector<int> stack;
    for (int start = 0; start < cols * rows; ++start) {
        if (ink[std::size_t(start)] != 1) {
            continue;
        }
        Region cells{start % cols, start / cols, start % cols + 1, start / cols + 1};
        ink[std::size_t(start)] = 2;
        stack.assign(1, start);
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            const int x = at % cols;
            const int y = at / cols;
            cells = {std::min(cells.left, x), std::min(cells.top, y), std::max(cells.right, x + 1),
                     std::max(cells.bottom, y + 1)};
            const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& [nx, ny] : next) {
                if (nx >= 0 && ny >= 0 && nx < cols && ny < rows &&
                    ink[std::size_t(ny) * cols + nx] == 1) {
                    ink[std::size_t(ny) * cols + nx] = 2;
                    stack.push_back(ny * cols + nx);
                }
            }
        }
        const int w = cells.right - cells.left;
        const int h = cells.bottom - cells.top;
        if (w >= 2 && h >= 2 && w <= 3 * h && h <= 3 * w) {
            regions.push_back({cells.left * kCellSide, cells.top * kCellSide,
                               cells.right * kCellSide, cells.bottom * kCellSide});
        }
    }
    std::sort(regions.begin(), regions.end(),
              [](const Region& a, const Region& b) { return a.Area() > b.Area(); });
    if (regions.size() > kMostCandidates) {
        regions.resize(kMostCandidates);
    }
    return regions;
}

// Whether the point (x, y) is within the code's box.
bool Covers(const FoundCode& code, double x, double y) {
    double left = code.location[0][0], right = left, top = code.location[0][1], bottom = top;
    for (const auto& [cx, cy] : code.location) {
        left = std::min(left, cx), right = std::max(right, cx);
        top = std::min(top, cy), bottom = std::max(bottom, cy);
    }
    return x >= left && x <= right && y >= top && y <= bottom;
}

// The box of a barcode read on one row (or column, turned): grown along its
// bars for as long as the rows (columns) across it hold ink, so that it
// takes the whole of its bars and the digits printed against them.
ZXing::Position BarsOf(const GreyImage& grey, const ZXing::Position& at) {
    int left = at[0].x, right = left, top = at[0].y, bottom = top;
    for (const ZXing::PointI& p : at) {
        left = std::min(left, p.x), right = std::max(right, p.x);
        top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    left = std::clamp(left, 0, grey.width - 1), right = std::clamp(right, 0, grey.width - 1);
    top = std::clamp(top, 0, grey.height - 1), bottom = std::clamp(bottom, 0, grey.height - 1);
    const bool across = right - left >= bottom - top;
    const auto inkAt = [&](int line) {
        for (int k = across ? left : top; k <= (across ? right : bottom); ++k) {
            if ((across ? grey.At(k, line) : grey.At(line, k)) < 128) {
                return true;
            }
        }
        return false;
    };
    int& low = across ? top : left;
    int& high = across ? bottom : right;
    const int end = (across ? grey.height : grey.width) - 1;
    while (low > 0 && inkAt(low - 1)) {
        --low;
    }
    while (high < end && inkAt(high + 1)) {
        ++high;
    }
    return {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
}

// Paints a barcode's box, and its quiet zone at the ends, white.
void Blank(GreyImage& grey, const ZXing::Position& box) {
    const int growX = (box[1].x - box[0].x) / 10 + 4;
    const int growY = (box[3].y - box[0].y) / 10 + 4;
    const int left = std::max(0, box[0].x - growX);
    const int right = std::min(grey.width - 1, box[1].x + growX);
    const int top = std::max(0, box[0].y - growY);
    const int bottom = std::min(grey.height - 1, box[3].y + growY);
    for (int y = top; y <= bottom; ++y) {
        std::fill_n(&grey.pixels[std::size_t(y) * grey.width + left], right - left + 1,
                    std::uint8_t(255));
    }
}

void AddCode(const ZXing::Result& result, int offsetX, int offsetY, int factor,
             std::vector<FoundCode>& codes, const ZXing::Position* place = nullptr) {
    if (!result.isValid()) {
        return;
    }
    FoundCode code;
    code.kind = kLinearFormats.testFlag(result.format()) ? CodeKind::Linear : CodeKind::Matrix;
    code.symbology = ZXing::ToString(result.format());
    code.payload = PayloadOf(result);
    const ZXing::Position& at = place != nullptr ? *place : result.position();
    for (std::size_t i = 0; i < 4; ++i) {
        code.location[i] = {double(at[i].x + offsetX) * factor, double(at[i].y + offsetY) * factor};
    }
    const double x = (code.location[0][0] + code.location[2][0]) / 2;
    const double y = (code.location[0][1] + code.location[2][1]) / 2;
    for (const FoundCode& known : codes) {
        if (known.payload == code.payload && known.symbology == code.symbology &&
            Covers(known, x, y)) {
            return;  // the same code, found again in its own region
        }
    }
    codes.push_back(std::move(code));
}

}  // namespace

bool PayloadBytesToUtf8(const std::string& bytes, std::string& utf8) {
    if (IsUtf8(bytes)) {
        utf8 = bytes;
        return true;
    }
    return Gb18030ToUtf8(bytes, utf8);
}

bool DecodeGreyPicture(const std::uint8_t* data, std::size_t size, GreyImage& grey) {
    grey = {};
    Picture picture;
    picture.DecodeJpegAccurately();
    if (!picture.LoadFromMemory(data, size, SniffPictureFormat(data, size)) ||
        !picture.GreyPixels(grey.pixels)) {
        return false;
    }
    grey.width = picture.Width();
    grey.height = picture.Height();
    return true;
}

int ShrinkToSide(GreyImage& grey, int maxSide) {
    const int longer = std::max(grey.width, grey.height);
    if (maxSide <= 0 || longer <= maxSide) {
        return 1;
    }
    const int factor = (longer + maxSide - 1) / maxSide;
    GreyImage small;
    small.width = grey.width / factor;
    small.height = grey.height / factor;
    small.pixels.resize(std::size_t(small.width) * std::size_t(small.height));
    // Each pixel the mean of its block: thin modules stay grey, not lost.
    for (int y = 0; y < small.height; ++y) {
        for (int x = 0; x < small.width; ++x) {
            unsigned sum = 0;
            for (int dy = 0; dy < factor; ++dy) {
                const std::uint8_t* row = &grey.pixels[std::size_t(y * factor + dy) * grey.width +
                                                       std::size_t(x) * factor];
                for (int dx = 0; dx < factor; ++dx) {
                    sum += row[dx];
                }
            }
            small.pixels[std::size_t(y) * small.width + x] =
                std::uint8_t(sum / unsigned(factor * factor));
        }
    }
    grey = std::move(small);
    return factor;
}

std::vector<FoundCode> ReadCodes(const GreyImage& picture) {
    std::vector<FoundCode> codes;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() < std::size_t(picture.width) * std::size_t(picture.height)) {
        return codes;
    }
    GreyImage shrunk;
    const GreyImage* scanned = &picture;
    int factor = 1;
    if (std::max(picture.width, picture.height) > kCodeScanMaxSide) {
        shrunk = picture;
        factor = ShrinkToSide(shrunk, kCodeScanMaxSide);
        scanned = &shrunk;
    }
    const ZXing::ImageView view(scanned->pixels.data(), scanned->width, scanned->height,
                                ZXing::ImageFormat::Lum);
    // 2-D codes gain from the scaled-down copy (large codes, soft photos).
    ZXing::DecodeHints matrix;
    matrix.setFormats(kMatrixFormats).setTryHarder(true).setTryRotate(true).setTryDownscale(true);
    for (const ZXing::Result& result : ZXing::ReadBarcodes(view, matrix)) {
        AddCode(result, 0, 0, factor, codes);
    }
    // Barcodes one pass each, at full size, each one found blanked out
    // before the next pass: the reader's merging of barcodes found in one
    // pass (two alike, or one found again in a scaled-down copy) stops the
    // process on an assertion (Debian builds the library with its checks on).
    ZXing::DecodeHints linear;
    linear.setFormats(kLinearFormats)
        .setTryHarder(true)
        .setTryRotate(true)
        .setTryDownscale(false)
        .setMaxNumberOfSymbols(1);
    GreyImage blanked;
    const GreyImage* remaining = scanned;
    for (int pass = 0; pass < kMostBarcodes; ++pass) {
        const ZXing::Results found =
            ZXing::ReadBarcodes(ZXing::ImageView(remaining->pixels.data(), remaining->width,
                                                 remaining->height, ZXing::ImageFormat::Lum),
                                linear);
        if (found.empty() || !found.front().isValid()) {
            break;
        }
        if (remaining != &blanked) {
            blanked = *scanned;
            remaining = &blanked;
        }
        const ZXing::Position bars = BarsOf(blanked, found.front().position());
        AddCode(found.front(), 0, 0, factor, codes, &bars);
        Blank(blanked, bars);
    }
    // Data Matrix and Aztec codes away from the middle: each block of ink
    // shaped like one, with a margin, read on its own.
    ZXing::DecodeHints centred = matrix;
    centred.setFormats(ZXing::BarcodeFormat::DataMatrix | ZXing::BarcodeFormat::Aztec)
        .setTryDownscale(false);
    for (const Region& region : CodeShapedRegions(*scanned)) {
        const double x = (region.left + region.right) / 2.0 * factor;
        const double y = (region.top + region.bottom) / 2.0 * factor;
        const bool known = std::any_of(codes.begin(), codes.end(),
                                       [&](const FoundCode& code) { return Covers(code, x, y); });
        if (known) {
            continue;
        }
        const int margin = std::max(region.right - region.left, region.bottom - region.top) / 4 + 4;
        const int left = std::max(0, region.left - margin);
        const int top = std::max(0, region.top - margin);
        const int right = std::min(scanned->width, region.right + margin);
        const int bottom = std::min(scanned->height, region.bottom + margin);
        for (const ZXing::Result& result :
             ZXing::ReadBarcodes(view.cropped(left, top, right - left, bottom - top), centred)) {
            AddCode(result, left, top, factor, codes);
        }
    }
    return codes;
}

}  // namespace kelsor
