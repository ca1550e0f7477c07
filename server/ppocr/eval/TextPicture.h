#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "server/engine/RecognitionEngine.h"

// Pictures of known text for measuring and testing the recognition engines:
// lines drawn with a real font (FreeType through OpenCV), black on white.
namespace kelsor::server::ppocr {

struct FontFace {
    std::string file;  // .ttf/.otf/.ttc
    int index = 0;     // face inside a collection
};

// The fonts of this machine the evaluation uses, as far as they are installed.
std::vector<FontFace> ChineseFaces();
std::vector<FontFace> LatinFaces();

// Text and background colour (RGB) of a rendered picture.
struct TextColours {
    std::array<std::uint8_t, 3> text{0, 0, 0};
    std::array<std::uint8_t, 3> background{255, 255, 255};
};

// Draws `lines` (UTF-8) one under the other with `pixelHeight` glyph height.
// Returns false with `error` when the font cannot be loaded.
bool RenderTextPicture(const std::vector<std::string>& lines, const FontFace& face, int pixelHeight,
                       DecodedPicture& picture, std::string& error,
                       const TextColours& colours = {});

// Draws `characters` (UTF-8, one each) in a column, top to bottom, set as
// vertical Chinese is: a fifth of the glyph height between characters.
bool RenderColumnPicture(const std::vector<std::string>& characters, const FontFace& face,
                         int pixelHeight, DecodedPicture& picture, std::string& error);

// Character error rate parts: edit distance between the texts after white
// space is removed (or, with `keepSpaces`, runs of it turned into one space
// and line breaks into spaces) and full-width ASCII forms are folded to ASCII,
// and the length of the reference in characters.
struct ErrorCount {
    long long edits = 0;
    long long characters = 0;
};
ErrorCount CountErrors(const std::string& reference, const std::string& recognised,
                       bool keepSpaces = false);

// The characters CountErrors compares: UTF-8 decoded, white space removed
// (or, with `keepSpaces`, runs of it made one space), full-width ASCII folded.
std::u32string NormalisedText(const std::string& utf8, bool keepSpaces);

// The same with word spaces judged as a reader does: runs of white space are
// one space, spaces next to a CJK character do not count (on either side), and
// line breaks stay line breaks.
ErrorCount CountSpaceAwareErrors(const std::string& reference, const std::string& recognised);

}  // namespace kelsor::server::ppocr
