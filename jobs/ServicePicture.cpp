#include "jobs/ServicePicture.h"

#include <algorithm>
#include <cmath>

#include "cloud/RecognizePictureText.h"
#include "jobs/CodeLines.h"
#include "jobs/FileIo.h"
#include "jobs/Picture.h"
#include "jobs/PictureFormat.h"
#include "jobs/PictureHeader.h"

namespace kelsor {

bool PrepareServicePicture(const std::wstring& path, ServicePicture& picture) {
    picture = {};
    if (ReadFileBytes(path, kMaxPictureFileBytes, picture.bytes) != ReadResult::Ok) {
        return false;
    }
    const std::uint8_t* data = picture.bytes.data();
    const std::size_t size = picture.bytes.size();
    const int format = SniffPictureFormat(data, size);
    PictureDimensions stored;
    if (!ReadPictureDimensions(data, size, format, stored) || !DimensionsWithinLimits(stored)) {
        return true;  // not a picture the header tells of: the service judges it
    }
    const PictureDimensions upright =
        UprightDimensions(stored, ReadPictureOrientation(data, size, format));
    picture.width = int(upright.width);
    picture.height = int(upright.height);
    if (picture.width >= kServiceMinimumSide && picture.height >= kServiceMinimumSide) {
        return true;
    }
    Picture decoded;
    std::vector<std::uint8_t> grown;
    // A picture that does not decode goes as it is: the service says why.
    if (decoded.LoadFromMemory(data, size, format) && decoded.IsValid()) {
        picture.width = decoded.Width();
        picture.height = decoded.Height();
    }
    if (decoded.PadRightBottom(kServiceMinimumSide, kServiceMinimumSide) &&
        decoded.Encode(ImageFormatPng, grown)) {
        // Lossless: a small picture is all glyph edges.
        picture.bytes = std::move(grown);
        picture.grown = true;
    }
    return true;
}

namespace {

// Corners in the grown part are moved onto the picture's own edge.
void KeepWithin(std::vector<PlacedLine>& lines, int width, int height) {
    for (PlacedLine& line : lines) {
        for (auto& [x, y] : line.location) {
            x = std::clamp(x, 0.0, double(width));
            y = std::clamp(y, 0.0, double(height));
        }
    }
}

}  // namespace

std::string RecognizeServicePictureText(int formatType, const std::wstring& path) {
    ServicePicture picture;
    if (!PrepareServicePicture(path, picture)) {
        return {};
    }
    return RecognizeEncodedPictureText(formatType, picture.bytes);
}

std::optional<std::vector<PlacedLine>> RecognizeServicePictureLines(const std::wstring& path) {
    ServicePicture picture;
    if (!PrepareServicePicture(path, picture)) {
        return std::nullopt;
    }
    auto lines = RecognizeEncodedPictureLines(picture.bytes);
    if (lines && picture.grown) {
        KeepWithin(*lines, picture.width, picture.height);
    }
    return lines;
}

namespace {

// A code's area grown about its middle, to take its edges' soft pixels.
Picture::Area CoverOf(const FoundCode& code) {
    double cx = 0.0, cy = 0.0;
    for (const auto& [x, y] : code.location) {
        cx += x / 4, cy += y / 4;
    }
    const double grow = code.kind == CodeKind::Matrix ? 0.08 : 0.04;
    Picture::Area area = code.location;
    for (auto& [x, y] : area) {
        const double dx = x - cx, dy = y - cy;
        const double length = std::max(std::hypot(dx, dy), 1.0);
        x += dx * grow + 2 * dx / length;
        y += dy * grow + 2 * dy / length;
    }
    return area;
}

// The picture with its codes painted over in its ground colour: the service
// reads the text beside them, and never a code's modules as stray characters
// run into that text. The picture as it is when it cannot be painted.
std::vector<std::uint8_t> WithoutCodes(const ServicePicture& picture,
                                       const std::vector<FoundCode>& codes) {
    const std::uint8_t* data = picture.bytes.data();
    const std::size_t size = picture.bytes.size();
    std::vector<Picture::Area> areas;
    for (const FoundCode& code : codes) {
        areas.push_back(CoverOf(code));
    }
    Picture decoded;
    decoded.DecodeJpegAccurately();
    const int format = SniffPictureFormat(data, size);
    // A photo stays a JPEG: as a PNG it could grow past what the service
    // takes in one request.
    const int sent = format == ImageFormatJpeg ? ImageFormatJpeg : ImageFormatPng;
    decoded.SetJpegQuality(95);
    std::vector<std::uint8_t> painted;
    if (decoded.LoadFromMemory(data, size, format) && decoded.PaintOver(areas) &&
        decoded.Encode(sent, painted)) {
        return painted;
    }
    return picture.bytes;
}

CodeScan ScanCodes(const ServicePicture& picture) {
    // A picture grown to the service's minimum is too small to hold a code.
    return picture.grown ? CodeScan{}
                         : ScanPictureCodes(picture.bytes.data(), picture.bytes.size());
}

}  // namespace

std::string ReadServicePictureText(int formatType, const std::wstring& path, CodeReading codes) {
    if (codes == CodeReading::Off) {
        return RecognizeServicePictureText(formatType, path);
    }
    ServicePicture picture;
    if (!PrepareServicePicture(path, picture)) {
        return {};
    }
    const CodeScan scan = ScanCodes(picture);
    if (scan.codes.empty()) {
        return RecognizeEncodedPictureText(formatType, picture.bytes);
    }
    std::vector<PlacedLine> lines;
    if (!scan.onlyCodes) {
        auto recognised = RecognizeEncodedPictureLines(WithoutCodes(picture, scan.codes));
        if (!recognised) {
            return {};
        }
        lines = std::move(*recognised);
    }
    return JoinPictureLines(formatType, PlaceCodes(lines, scan.codes));
}

std::optional<std::vector<PlacedLine>> ReadServicePictureLines(const std::wstring& path,
                                                               CodeReading codes) {
    if (codes == CodeReading::Off) {
        return RecognizeServicePictureLines(path);
    }
    ServicePicture picture;
    if (!PrepareServicePicture(path, picture)) {
        return std::nullopt;
    }
    const CodeScan scan = ScanCodes(picture);
    std::optional<std::vector<PlacedLine>> lines;
    if (scan.codes.empty() || !scan.onlyCodes) {
        lines = RecognizeEncodedPictureLines(
            scan.codes.empty() ? picture.bytes : WithoutCodes(picture, scan.codes));
        if (lines && picture.grown) {
            KeepWithin(*lines, picture.width, picture.height);
        }
        if (!lines || scan.codes.empty()) {
            return lines;
        }
    }
    return PlaceCodes(lines.value_or(std::vector<PlacedLine>{}), scan.codes).lines;
}

std::function<std::string(int, const std::wstring&)> ServiceTextRecognition(CodeReading codes) {
    return [codes](int formatType, const std::wstring& path) {
        return ReadServicePictureText(formatType, path, codes);
    };
}

}  // namespace kelsor
