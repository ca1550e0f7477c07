#pragma once

#include <optional>
#include <vector>

#include <opencv2/core.hpp>

#include "server/engine/RecognitionEngine.h"
#include "server/layout/TextMargin.h"
#include "server/ppocr/DbPostProcess.h"
#include "server/ppocr/PpOcrSettings.h"

// Pictures that hold one line, as a user selects it on the screen: the line
// read whole, and how its reading compares with the detected pieces'.
namespace kelsor::server::ppocr {

// The box of the one line `ink` holds in a picture `height` pixels high,
// in the coordinates of that picture with `padding` added; none when the
// ink is not one line of horizontal text, or when the line would have to
// be squeezed to fit the recognition model.
std::optional<TextBox> WholeLineBox(const layout::InkExtent& ink, const layout::Padding& padding,
                                    int height, const PpOcrSettings& settings);

// The box around `lines` when there are several and they share one row
// that fills most of a picture `height` pixels high (the detector cut one
// line into pieces); none otherwise.
std::optional<TextBox> RowOfPieces(const std::vector<TextBlock>& lines, int height,
                                   const PpOcrSettings& settings);

// How well `lines` read a line `width` pixels long: their confidence
// weighted by length, times the share of the line they cover.
double ReadingScore(const std::vector<TextBlock>& lines, double width);

// The lines' corners, found in the picture with `padding` added, in the
// picture as sent (`size`), inside it.
void MapIntoPicture(std::vector<TextBlock>& lines, const layout::Padding& padding, cv::Size size);

}  // namespace kelsor::server::ppocr
