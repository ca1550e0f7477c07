#include "history/Thumbnail.h"

#include "jobs/Picture.h"
#include "jobs/PictureFormat.h"
#include "jobs/PictureUtils.h"

namespace kelsor::history {

std::vector<std::uint8_t> MakeThumbnail(const std::wstring& path, int side) {
    std::vector<std::uint8_t> bytes;
    // The signature first, so that a PDF or a large file of something else
    // is never read whole.
    if (path.empty() || CheckPictureFile(path) != PictureAccepted) {
        return bytes;
    }
    Picture picture;
    if (!picture.LoadReduced(path, side) || !picture.ShrinkToFit(side)) {
        return bytes;
    }
    picture.SetJpegQuality(80);
    if (!picture.Encode(ImageFormatJpeg, bytes)) {
        bytes.clear();
    }
    return bytes;
}

}  // namespace kelsor::history
