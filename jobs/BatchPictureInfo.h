#pragma once

#include <cstdint>
#include <string>

#include "jobs/PictureUtils.h"

// What the batch list shows of a picture it adds, read from the file's first
// bytes only: adding a hundred large pictures must not decode any of them.
namespace kelsor {

struct BatchPictureInfo {
    // CheckPictureFile's answer; also PictureDamaged for anything that is not
    // a regular file (a FIFO or device would block a plain open).
    std::int8_t check = PictureDamaged;
    std::wstring sizeText;  // the file size as GetSizeText shows it
    // "<width>*<height>" as seen upright, empty when the header names none.
    std::wstring dimensionsText;
};

BatchPictureInfo ReadBatchPictureInfo(const std::wstring& path);

}  // namespace kelsor
