#include "jobs/ServicePicture.h"

#include <algorithm>

#include "cloud/RecognizePictureText.h"
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

}  // namespace kelsor
