#pragma once

#include <vector>

#include <opencv2/core.hpp>

#include "server/ppocr/DbPostProcess.h"

// A column of vertical text read as a line: the recogniser knows lines that
// run left to right, and a column turned on its side shows it every
// character lying down. Cut into its characters and set side by side, the
// column is a line of upright characters.
namespace kelsor::server::ppocr {

// The column in `box` (taller than wide) of `picture` as a strip `height`
// pixels high (at most `maxWidth` wide) of its characters side by side, top
// one first: cells are cut at blank rows where what lies between is at most
// as high as the column is wide (a character's strokes are kept together);
// small marks (，。、 set in a column's corner) move to the foot of their
// cell as in a line, and low wide ones (︵ ﹁ ︽, brackets set in a column)
// are turned back upright. Empty when the box holds no ink.
cv::Mat StackedColumn(const cv::Mat& picture, const TextBox& box, int height, int maxWidth);

// The box narrowed to its column's ink: the detector's box of a column
// reaches into the columns beside it, and may hold two columns set close
// (then both, right one first). The box as it was when no ink is found.
std::vector<TextBox> ColumnInk(const cv::Mat& picture, const TextBox& box);

// On a page whose text runs in columns (server/layout/VerticalColumns.h):
// the pieces of each column joined into one box (the detector splits a
// column at its punctuation and at gaps) and every column narrowed to its
// ink. Other pages' boxes as they are.
std::vector<TextBox> JoinColumns(const cv::Mat& picture, const std::vector<TextBox>& boxes);

}  // namespace kelsor::server::ppocr
