#include "jobs/PictureUtils.h"

#include <vector>

#include "jobs/FileIo.h"
#include "jobs/Picture.h"
#include "jobs/PictureHeader.h"

namespace kelsor {

std::int8_t CheckPictureFile(const std::wstring& path) {
    if (!IsAcceptedPictureExtension(PictureExtension(path))) {
        return PictureUnsupported;
    }
    std::vector<std::uint8_t> head;
    if (!ReadFilePrefix(path, 10, head)) {
        return PictureDamaged;
    }
    return SniffPictureFormat(head.data(), head.size()) != ImageFormatUnknown ? PictureAccepted
                                                                              : PictureDamaged;
}

bool ConvertPictureToJpeg(int quality, const std::wstring& source, const std::wstring& target) {
    if (source.empty()) {
        return true;
    }
    Picture picture;
    // The work file is encoded again: the fast transform's specks would be
    // kept in it, and a code's modules among them no longer read.
    picture.DecodeJpegAccurately();
    if (!picture.Load(source, ImageFormatFromExtension(source)) || !picture.IsValid()) {
        return false;
    }
    // A grey picture with transparent parts is composited on white like any.
    if ((!picture.IsGrayScale() || picture.HasTransparency()) && !picture.IncreaseBpp24()) {
        return false;
    }
    picture.SetJpegQuality(quality);
    return picture.Save(target, ImageFormatJpeg);
}

bool SaveBitmapRegionAsJpeg(const PixelBuffer& bitmap, int left, int top, int right, int bottom,
                            const std::wstring& target) {
    Picture picture;
    if (picture.CreateFromPixels(bitmap) && picture.Crop(left, top, right, bottom)) {
        picture.Save(target, ImageFormatJpeg);
    }
    return true;
}

std::wstring GetPictureSizeText(const std::wstring& path) {
    if (path.empty()) {
        return {};
    }
    Picture picture;
    if (!picture.Load(path, ImageFormatFromExtension(path)) || !picture.IsValid()) {
        return {};
    }
    return std::to_wstring(picture.Width()) + L"*" + std::to_wstring(picture.Height());
}

}  // namespace kelsor
