#pragma once

#include <cstdint>
#include <string>

#include "jobs/PictureFormat.h"
#include "jobs/PixelBuffer.h"

// The stateless picture utilities every recognition path uses. All take wide
// paths (opened under their code-page names) and may be called from any
// thread.
namespace kelsor {

// CheckPictureFile results.
enum PictureCheck : std::int8_t {
    PictureAccepted = 1,
    PictureUnsupported = -1,  // "很抱歉，不支持该文件格式！"
    PictureDamaged = -2,      // "很抱歉，该文件已损坏！"
};

// 1 when the extension is an accepted picture extension and the first bytes
// carry a picture signature (which need not match the extension); -1 for any
// other extension (the file is not opened); -2 when the file cannot be opened
// or carries no signature.
std::int8_t CheckPictureFile(const std::wstring& path);

// Converts `source` into a JPEG at `target` with `quality` (1 to 100), a JPEG
// source decoded with the exact transform: colour
// pictures are raised to 24 bits, greyscale ones stay grey. An empty source
// returns true and touches nothing. On failure the target is left as it was.
bool ConvertPictureToJpeg(int quality, const std::wstring& source, const std::wstring& target);

// Writes the rectangle (left, top)-(right, bottom) of `bitmap` as a JPEG with
// the default quality. The rectangle is clipped to the bitmap; one that holds
// no pixel writes nothing. Always returns true.
bool SaveBitmapRegionAsJpeg(const PixelBuffer& bitmap, int left, int top, int right, int bottom,
                            const std::wstring& target);

// "<width>*<height>" of a picture, e.g. "1920*1080"; empty when the path is
// empty or the picture cannot be loaded.
std::wstring GetPictureSizeText(const std::wstring& path);

}  // namespace kelsor
