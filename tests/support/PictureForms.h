#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One text picture stored in every form people's pictures come in: each
// depth and colour type of PNG, JPEG, BMP, GIF and TIFF that scanners,
// screenshots and image editors write. The forms are made by ImageMagick
// from two sources rendered here: coloured text on a coloured background,
// and the same text on a transparent background whose hidden colour is
// black (a reader that drops the alpha sees black on black).
namespace kelsor::test {

// What the picture looks like once it is read right: 0xRRGGBB.
struct FormLook {
    std::uint32_t background;
    std::uint32_t ink;
};

struct PictureForm {
    std::string name;     // the file name, e.g. "png-rgb16.png"
    bool transparent;     // made from the transparent source
    std::string options;  // ImageMagick's, between source and target
    std::string coder;    // ImageMagick's target prefix ("PNG48:"), or none
    FormLook look;
};

// The text every form shows, as a reader returns it.
inline constexpr const char* kPictureFormText = "KELSOR 42";

const std::vector<PictureForm>& PictureForms();

// Writes every form into `folder` (which ends with "/"); false with the
// failing form's name in `error`.
bool WritePictureForms(const std::string& folder, std::string& error);

}  // namespace kelsor::test
