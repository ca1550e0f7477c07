#include "PictureForms.h"

#include <unistd.h>

#include <cstdio>

#include "TempFolder.h"

namespace kelsor::test {
namespace {

constexpr std::uint32_t kPaper = 0xfff3b0;  // light yellow
constexpr std::uint32_t kInk = 0x1a3c8c;    // dark blue
constexpr std::uint32_t kGreyInk = 0x3a3a3a;
// How each form is seen: ImageMagick's greys of paper and ink; transparent
// paper is white.
constexpr FormLook kColour{kPaper, kInk};
constexpr FormLook kGrey{0xf0f0f0, kGreyInk};
constexpr FormLook kBilevel{0xffffff, 0x000000};
constexpr FormLook kColourOnWhite{0xffffff, kInk};
constexpr FormLook kGreyOnWhite{0xffffff, kGreyInk};

}  // namespace

const std::vector<PictureForm>& PictureForms() {
    const std::string bilevel = "-colorspace gray -threshold 50% -type bilevel ";
    static const std::vector<PictureForm> forms = {
        {"png-grey1.png", false, bilevel + "-define png:bit-depth=1", "PNG:", kBilevel},
        {"png-grey8.png", false, "-colorspace gray -depth 8", "PNG:", kGrey},
        {"png-grey16.png", false, "-colorspace gray -depth 16", "PNG:", kGrey},
        {"png-grey-alpha.png", true, "-colorspace gray -define png:color-type=4",
         "PNG:", kGreyOnWhite},
        {"png-rgb.png", false, "", "PNG24:", kColour},
        {"png-rgb16.png", false, "-depth 16", "PNG48:", kColour},
        {"png-rgba.png", true, "", "PNG32:", kColourOnWhite},
        {"png-rgba16.png", true, "-depth 16", "PNG64:", kColourOnWhite},
        {"png-palette.png", false, "", "PNG8:", kColour},
        {"png-interlaced.png", false, "-interlace PNG", "PNG24:", kColour},
        {"jpeg-baseline.jpg", false, "-interlace none", "", kColour},
        {"jpeg-progressive.jpg", false, "-interlace JPEG", "", kColour},
        {"jpeg-grey.jpg", false, "-colorspace gray", "", kGrey},
        {"jpeg-cmyk.jpg", false, "-colorspace CMYK", "", kColour},
        {"bmp-1bit.bmp", false, bilevel, "", kBilevel},
        {"bmp-4bit.bmp", false, "-colors 16 -type Palette", "", kColour},
        // ImageMagick compresses 8-bit palette BMPs with run lengths.
        {"bmp-8bit.bmp", false, "-colors 200 -type Palette", "", kColour},
        {"bmp-24bit.bmp", false, "-type TrueColor", "", kColour},
        {"bmp-32bit.bmp", false, "-alpha set -type TrueColorAlpha", "", kColour},
        {"gif.gif", false, "", "", kColour},
        {"tiff-none.tif", false, "-depth 8 -compress none", "", kColour},
        {"tiff-lzw.tif", false, "-depth 8 -compress lzw", "", kColour},
        {"tiff-jpeg.tif", false, "-depth 8 -compress jpeg", "", kColour},
        {"tiff-group4.tif", false, bilevel + "-compress group4", "", kBilevel},
        {"tiff-16bit.tif", false, "-depth 16 -compress lzw", "", kColour},
        {"tiff-float.tif", false, "-define quantum:format=floating-point -depth 32", "", kColour},
        {"tiff-cmyk.tif", false, "-depth 8 -colorspace CMYK -compress lzw", "", kColour},
    };
    return forms;
}

bool WritePictureForms(const std::string& folder, std::string& error) {
    const std::string opaque = folder + "source.png";
    const std::string clear = folder + "source-clear.png";
    char ink[16];
    std::snprintf(ink, sizeof ink, "#%06x", static_cast<unsigned>(kInk));
    const auto draw = [&](const std::string& paper, const std::string& path) {
        return "/usr/bin/convert -size 360x110 'xc:" + paper +
               "' -font DejaVu-Sans-Bold -pointsize 36 -fill '" + ink + "' -annotate +20+72 '" +
               kPictureFormText + "' '" + path + "'";
    };
    // The transparent source hides black under its clear pixels.
    if (Shell(draw("#fff3b0", opaque)) != 0 || Shell(draw("rgba(0,0,0,0)", clear)) != 0) {
        error = "the source pictures";
        return false;
    }
    for (const PictureForm& form : PictureForms()) {
        const std::string command = "/usr/bin/convert '" + (form.transparent ? clear : opaque) +
                                    "' " + form.options + " '" + form.coder + folder + form.name +
                                    "' 2>&1";
        if (Shell(command + " >/dev/null") != 0) {
            error = form.name + ": " + ShellOutput(command);
            return false;
        }
    }
    ::unlink(opaque.c_str());
    ::unlink(clear.c_str());
    return true;
}

}  // namespace kelsor::test
