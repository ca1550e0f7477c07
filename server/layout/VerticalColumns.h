#pragma once

#include <cstddef>
#include <vector>

#include "server/layout/ReadingOrder.h"

// Text set vertically: characters top to bottom in columns read right to
// left, as classical Chinese, poems, signs and many books are. The columns
// are told from the boxes alone, so every engine's lines can be ordered and
// the detector's pieces of one column joined.
namespace kelsor::server::layout {

// A box at least this many times as high as wide runs down the page (and a
// wide one, as wide as high, runs across it).
inline constexpr double kTallRatio = 1.5;

// A box whose smaller side is under this share of the page's text size (the
// median of the boxes' smaller sides) is a mark: a comma or a full stop
// boxed alone, a speck. Taller than wide or not, it says nothing of which
// way the text runs, and its width is no column's.
inline constexpr double kMarkSize = 0.6;

bool IsTallBox(const Bounds& box);
bool IsWideBox(const Bounds& box);

// Whether the page's text runs in columns: more boxes run down than across.
// Single characters (square boxes) and marks do not count either way; a page
// of them alone is in columns when they stack into fewer than half as many
// columns as rows, or when the characters are clearly nearer each other down
// a column than along a row.
bool InColumns(const std::vector<Bounds>& boxes);

// Reading order of a page in columns: bands of the page split by white
// across all of it are read top to bottom; within a band the lines across
// above the columns (a title) come first, the columns right to left, each
// top to bottom, then the lines across below them (a footer).
std::vector<std::size_t> ColumnOrder(const std::vector<Bounds>& boxes);

// The boxes grouped into columns of one page in columns, each group the
// pieces of one column top to bottom (the detector splits a column at its
// punctuation and at gaps): pieces follow each other down the same column
// at most two column widths apart. Every box is in exactly one group; on a
// page not in columns each box is a group of its own, in the given order.
std::vector<std::vector<std::size_t>> ColumnPieces(const std::vector<Quad>& lines);

}  // namespace kelsor::server::layout
