#pragma once

#include <utility>
#include <vector>

#include "server/layout/ReadingOrder.h"

// Text detectors join a left-column line and the right-column line level
// with it into one box when the gutter between them is narrow. Such a box is
// found by the blank stretch inside it that continues a gutter running down
// the lines around it, and is cut there, so that each column's line is read
// on its own and the columns can be ordered.
namespace kelsor::server::layout {

// A stretch along a line as fractions of its length: 0 at its left end, 1 at
// its right end.
using Span = std::pair<double, double>;

// Where a line holds ink, left to right; empty when not known (the whole line
// counts as ink).
using InkRuns = std::vector<Span>;

// The pieces each line is to be read as, left to right: {{0, 1}} for a line
// kept whole. A line is cut only at a blank stretch of its own that lies on a
// gutter: a band clear down the lines around it, with the lines of columns of
// running text on both sides. A blank end of a box that reaches over a gutter
// is cut off the same way, and so is a sliver of ink beyond a gutter. A cut
// piece keeps as much white beyond its ink as the box had at its ends.
// `ink[i]` belongs to `lines[i]` (lines without an entry count as solid);
// `skew` as MedianSkew gives it.
std::vector<std::vector<Span>> LinePieces(const std::vector<Quad>& lines,
                                          const std::vector<InkRuns>& ink, double skew);

}  // namespace kelsor::server::layout
