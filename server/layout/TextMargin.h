#pragma once

#include <array>
#include <cstdint>

#include "server/engine/RecognitionEngine.h"

// Where a picture's ink lies against its own background, before any model
// runs: text cut tight (a line selected on the screen) touches the picture's
// edges, where the engines' detectors find it only in pieces, and a picture
// that holds one line can be read as one.
namespace kelsor::server::layout {

// Ink is where a pixel differs from the edge colour by more than this in
// some channel: far above the noise of a JPEG, far below any readable
// text's contrast.
inline constexpr int kInkContrast = 48;

struct InkExtent {
    // The picture's edge colour (RGB): the median of its outermost pixels.
    std::array<std::uint8_t, 3> background{};
    // Most of the edge is that colour, so ink can be told from the ground;
    // when false nothing below is known.
    bool plain = false;
    // The ink's bounding box (right and bottom exclusive); empty without ink.
    int left = 0, top = 0, right = 0, bottom = 0;
    // Bands of rows holding ink (a dot or accent joins its line's band), and
    // the text height: their median height, or for lines that run down the
    // picture the median width of the bands of columns.
    int bands = 0;
    int textHeight = 0;
    // The share of the ink box's pixels that are ink.
    double density = 0.0;
    // The middle of the single band holds little ink against its fullest
    // row: two lines whose descenders and ascenders share rows.
    bool thinMiddle = false;

    bool Empty() const { return right <= left || bottom <= top; }
};

InkExtent FindInk(const DecodedPicture& picture);

// Edge colour to add on each side of a picture.
struct Padding {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Any() const { return left > 0 || top > 0 || right > 0 || bottom > 0; }
};

// What brings the ink `margin` pixels from each side where it is less than
// half that far from it; nothing for a picture whose ground is not plain or
// that holds no ink.
Padding PaddingFor(const InkExtent& ink, int width, int height, int margin);

// `picture` with `padding` of `colour` around it.
DecodedPicture Padded(const DecodedPicture& picture, const Padding& padding,
                      const std::array<std::uint8_t, 3>& colour);

// The margin text of `textHeight` needs around it to be found whole: the
// detectors look at a line's surroundings as far as about its own height.
int MarginForText(int textHeight);

}  // namespace kelsor::server::layout
