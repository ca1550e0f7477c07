#pragma once

#include <array>
#include <vector>

#include <opencv2/core.hpp>

#include "server/engine/RecognitionEngine.h"
#include "server/layout/Gutters.h"

// Turning the detection model's probability map into text-line boxes
// (differentiable-binarisation post-processing), and putting them in reading
// order.
namespace kelsor::server::ppocr {

struct DbSettings {
    float threshold = 0.3f;     // a pixel is text above this probability
    float boxThreshold = 0.6f;  // a region is kept when its mean probability is above this
    float unclipRatio = 2.0f;   // how far a shrunk text region is grown back
    int maxCandidates = 1000;   // regions looked at, largest first
    float minSide = 3.0f;       // regions thinner than this (map pixels) are noise
};

// A text line: corners top-left, top-right, bottom-right, bottom-left in
// picture coordinates, and the mean probability inside it.
struct TextBox {
    std::array<cv::Point2f, 4> corners;
    float score = 0.0f;
};

// Boxes found in `probability` (CV_32F, values 0..1). Map coordinates are scaled
// by `scaleX`/`scaleY` into the picture and clamped to `pictureSize`.
std::vector<TextBox> FindTextBoxes(const cv::Mat& probability, const DbSettings& settings,
                                   float scaleX, float scaleY, cv::Size pictureSize);

// The corners of a rotated rectangle as top-left, top-right, bottom-right,
// bottom-left.
std::array<cv::Point2f, 4> OrderedCorners(const cv::RotatedRect& rect);

// A rectangle grown on every side by area * ratio / perimeter, which undoes the
// shrinking the detection model was trained with.
cv::RotatedRect Unclip(const cv::RotatedRect& rect, float ratio);

// Where `box` holds ink in `rgb` (CV_8UC3), along its length from its left
// end; blanks narrower than a third of its height (spaces between letters
// and words) are bridged. Empty when the box is taller than long or too faint to
// tell ink from paper.
layout::InkRuns InkAlong(const cv::Mat& rgb, const TextBox& box);

// `boxes` with each box that the detector ran across a column gutter cut
// there (see server/layout/Gutters.h); the pieces keep the box's place.
std::vector<TextBox> SplitAtGutters(const cv::Mat& rgb, const std::vector<TextBox>& boxes);

// Reading order (see server/layout/ReadingOrder.h): column by column, rows
// within a column left to right, the skew measured from the boxes' edges.
// Recognised lines are ordered once their text is known, so that marks read
// as nothing do not bridge a gap between columns.
void SortReadingOrder(std::vector<TextBlock>& lines);

}  // namespace kelsor::server::ppocr
