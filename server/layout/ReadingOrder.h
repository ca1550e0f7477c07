#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "server/engine/RecognitionEngine.h"

// Reading order of the text lines of a page, from their boxes alone, for any
// recognition engine: columns are read one after the other, a heading or
// footer across columns stays above or below them, lines that share a row
// inside a column are read left to right, and a slightly skewed scan is
// straightened first. Text set vertically is read column by column, right to
// left (server/layout/VerticalColumns.h).
namespace kelsor::server::layout {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// A line's corners: top-left, top-right, bottom-right, bottom-left, in
// picture coordinates (y grows downwards).
using Quad = std::array<Point, 4>;

// A line's extent in the page straightened by a skew: turned back by it.
struct Bounds {
    double top = 0.0;
    double bottom = 0.0;
    double left = 0.0;
    double right = 0.0;
};

// The lines' extents straightened by `skew` (radians, as MedianSkew gives it).
std::vector<Bounds> StraightBounds(const std::vector<Quad>& lines, double skew);

// The median height of the extents, at least 1: the scale gaps are measured by.
double LineHeight(const std::vector<Bounds>& lines);

// A piece of a text line's direction: a baseline, or the top edge of a box.
struct Segment {
    Point from;
    Point to;
};

// The largest skew that is measured and undone (radians, 5 degrees); beyond
// it the page is taken as it stands.
inline constexpr double kMaxSkew = 0.0872664626;

// The median angle of the segments that run left to right (radians, positive
// when lines fall to the right); 0 without such segments or beyond kMaxSkew.
double MedianSkew(const std::vector<Segment>& directions);

// The skew of a page measured from the top and bottom edges of its longer
// line boxes.
double SkewOfLines(const std::vector<Quad>& lines);

// The order of the page-wide rows: top to bottom, boxes whose vertical
// extents mostly overlap form one row, read left to right. Single-column
// pages keep exactly this order.
std::vector<std::size_t> RowOrder(const std::vector<Quad>& lines);

// Indices of `lines` in reading order; every index exactly once. `skew` is
// the angle of the text lines as MedianSkew gives it; without it the skew is
// measured from the boxes.
std::vector<std::size_t> ReadingOrder(const std::vector<Quad>& lines, double skew);
std::vector<std::size_t> ReadingOrder(const std::vector<Quad>& lines);

// The corners of recognised lines as quads.
std::vector<Quad> QuadsOf(const std::vector<TextBlock>& lines);

// Puts recognised lines in reading order by their `location`, with the skew
// given or measured from the locations.
void SortLines(std::vector<TextBlock>& lines, double skew);
void SortLines(std::vector<TextBlock>& lines);

// Puts `items` in `order` (a permutation of their indices).
template <typename T>
void ApplyOrder(std::vector<T>& items, const std::vector<std::size_t>& order) {
    std::vector<T> ordered;
    ordered.reserve(order.size());
    for (std::size_t index : order) {
        ordered.push_back(std::move(items[index]));
    }
    items = std::move(ordered);
}

}  // namespace kelsor::server::layout
