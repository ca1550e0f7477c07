#include "server/layout/VerticalColumns.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace kelsor::server::layout {
namespace {

// White across a whole page in columns at least this many column widths
// high parts bands of columns (two poems one above the other).
constexpr double kBandGap = 1.0;
// Pieces of one column at most this many column widths apart are joined:
// punctuation and a blank of a character or two split a column.
constexpr double kPieceGap = 2.0;
// A box belongs to a column when their extents across overlap by more than
// this share of the narrower.
constexpr double kSameColumn = 0.5;

using Ids = std::vector<std::size_t>;

double Width(const Bounds& b) {
    return b.right - b.left;
}
double Height(const Bounds& b) {
    return b.bottom - b.top;
}

// The width of a column: the median width of the boxes running down the
// page (of all boxes when none does), at least 1.
double ColumnWidth(const std::vector<Bounds>& boxes, const Ids& ids) {
    std::vector<double> widths;
    for (std::size_t id : ids) {
        if (IsTallBox(boxes[id])) {
            widths.push_back(Width(boxes[id]));
        }
    }
    if (widths.empty()) {
        for (std::size_t id : ids) {
            widths.push_back(std::min(Width(boxes[id]), Height(boxes[id])));
        }
    }
    if (widths.empty()) {
        return 1.0;
    }
    std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
    return std::max(1.0, widths[widths.size() / 2]);
}

// `ids` gathered into columns, right to left, each top to bottom.
std::vector<Ids> Columns(const std::vector<Bounds>& boxes, Ids ids) {
    std::stable_sort(ids.begin(), ids.end(), [&](std::size_t a, std::size_t b) {
        return boxes[a].left + boxes[a].right > boxes[b].left + boxes[b].right;
    });
    std::vector<Ids> columns;
    std::vector<std::pair<double, double>> spans;
    for (std::size_t id : ids) {
        const Bounds& b = boxes[id];
        std::size_t found = columns.size();
        for (std::size_t c = 0; c < columns.size() && found == columns.size(); ++c) {
            const double overlap =
                std::min(b.right, spans[c].second) - std::max(b.left, spans[c].first);
            const double narrower = std::min(Width(b), spans[c].second - spans[c].first);
            if (overlap > kSameColumn * narrower) {
                found = c;
            }
        }
        if (found == columns.size()) {
            columns.emplace_back();
            spans.emplace_back(b.left, b.right);
        }
        columns[found].push_back(id);
        spans[found] = {std::min(spans[found].first, b.left),
                        std::max(spans[found].second, b.right)};
    }
    std::vector<std::size_t> byMiddle(columns.size());
    std::iota(byMiddle.begin(), byMiddle.end(), std::size_t{0});
    std::stable_sort(byMiddle.begin(), byMiddle.end(), [&](std::size_t a, std::size_t b) {
        return spans[a].first + spans[a].second > spans[b].first + spans[b].second;
    });
    std::vector<Ids> ordered;
    for (std::size_t c : byMiddle) {
        Ids column = std::move(columns[c]);
        std::stable_sort(column.begin(), column.end(),
                         [&](std::size_t a, std::size_t b) { return boxes[a].top < boxes[b].top; });
        ordered.push_back(std::move(column));
    }
    return ordered;
}

// Lines across the page in `ids` as rows, top to bottom, each left to right.
Ids Rows(const std::vector<Bounds>& boxes, const Ids& ids) {
    std::vector<Quad> quads;
    for (std::size_t id : ids) {
        const Bounds& b = boxes[id];
        quads.push_back(
            {{{b.left, b.top}, {b.right, b.top}, {b.right, b.bottom}, {b.left, b.bottom}}});
    }
    Ids out;
    for (std::size_t i : RowOrder(quads)) {
        out.push_back(ids[i]);
    }
    return out;
}

// How many rows `ids` make: boxes overlapping down by more than half the
// smaller height share one.
std::size_t RowCount(const std::vector<Bounds>& boxes, Ids ids) {
    std::stable_sort(ids.begin(), ids.end(), [&](std::size_t a, std::size_t b) {
        return boxes[a].top + boxes[a].bottom < boxes[b].top + boxes[b].bottom;
    });
    std::size_t rows = 0;
    double top = 0.0, bottom = 0.0;
    for (std::size_t id : ids) {
        const Bounds& b = boxes[id];
        const double overlap = std::min(bottom, b.bottom) - std::max(top, b.top);
        if (rows == 0 || overlap <= 0.5 * std::min(bottom - top, Height(b))) {
            ++rows;
            top = b.top;
            bottom = b.bottom;
        } else {
            top = std::min(top, b.top);
            bottom = std::max(bottom, b.bottom);
        }
    }
    return rows;
}

// The page's boxes in bands split by white across all of it, top to bottom.
std::vector<Ids> Bands(const std::vector<Bounds>& boxes, double columnWidth) {
    Ids ids(boxes.size());
    std::iota(ids.begin(), ids.end(), std::size_t{0});
    std::stable_sort(ids.begin(), ids.end(),
                     [&](std::size_t a, std::size_t b) { return boxes[a].top < boxes[b].top; });
    std::vector<Ids> bands;
    double bottom = -std::numeric_limits<double>::infinity();
    for (std::size_t id : ids) {
        if (bands.empty() || boxes[id].top >= bottom + kBandGap * columnWidth) {
            bands.emplace_back();
        }
        bands.back().push_back(id);
        bottom = std::max(bottom, boxes[id].bottom);
    }
    return bands;
}

}  // namespace

bool IsTallBox(const Bounds& box) {
    return Height(box) >= kTallRatio * Width(box) && Height(box) > 0.0;
}

bool IsWideBox(const Bounds& box) {
    return Width(box) >= kTallRatio * Height(box) && Width(box) > 0.0;
}

bool InColumns(const std::vector<Bounds>& boxes) {
    const auto tall = std::count_if(boxes.begin(), boxes.end(), IsTallBox);
    const auto wide = std::count_if(boxes.begin(), boxes.end(), IsWideBox);
    if (tall > 0 || wide > 0 || boxes.size() < 3) {
        return tall > wide;
    }
    // Single characters only (a spaced column is boxed a character at a
    // time): in columns when they stack into fewer columns than rows.
    Ids all(boxes.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    return 2 * Columns(boxes, all).size() < RowCount(boxes, all);
}

std::vector<std::size_t> ColumnOrder(const std::vector<Bounds>& boxes) {
    Ids all(boxes.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    const double columnWidth = ColumnWidth(boxes, all);
    Ids out;
    out.reserve(boxes.size());
    for (const Ids& band : Bands(boxes, columnWidth)) {
        // The extent of the band's columns: what runs down the page.
        double top = std::numeric_limits<double>::infinity();
        double bottom = -top;
        for (std::size_t id : band) {
            if (!IsWideBox(boxes[id])) {
                top = std::min(top, boxes[id].top);
                bottom = std::max(bottom, boxes[id].bottom);
            }
        }
        Ids above, inside, below;
        for (std::size_t id : band) {
            const double middle = (boxes[id].top + boxes[id].bottom) / 2;
            Ids& part = !IsWideBox(boxes[id]) ? inside
                        : middle < top        ? above
                        : middle > bottom     ? below
                                              : inside;
            part.push_back(id);
        }
        const Ids head = Rows(boxes, above);
        out.insert(out.end(), head.begin(), head.end());
        for (const Ids& column : Columns(boxes, inside)) {
            out.insert(out.end(), column.begin(), column.end());
        }
        const Ids foot = Rows(boxes, below);
        out.insert(out.end(), foot.begin(), foot.end());
    }
    return out;
}

std::vector<std::vector<std::size_t>> ColumnPieces(const std::vector<Quad>& lines) {
    const std::vector<Bounds> boxes = StraightBounds(lines, 0.0);
    std::vector<Ids> groups;
    if (!InColumns(boxes)) {
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            groups.push_back({i});
        }
        return groups;
    }
    Ids across, down;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        (IsWideBox(boxes[i]) ? across : down).push_back(i);
    }
    const double columnWidth = ColumnWidth(boxes, down);
    for (std::size_t id : across) {
        groups.push_back({id});
    }
    // A piece as wide as two columns is not a piece of one.
    const auto narrow = [&](std::size_t id) { return Width(boxes[id]) <= 1.6 * columnWidth; };
    for (const Ids& column : Columns(boxes, down)) {
        Ids group;
        double bottom = 0.0;
        for (std::size_t id : column) {
            const Bounds& b = boxes[id];
            if (!group.empty() && narrow(id) && narrow(group.front()) &&
                b.top - bottom <= kPieceGap * columnWidth) {
                group.push_back(id);
                bottom = std::max(bottom, b.bottom);
                continue;
            }
            if (!group.empty()) {
                groups.push_back(std::move(group));
            }
            group = {id};
            bottom = b.bottom;
        }
        if (!group.empty()) {
            groups.push_back(std::move(group));
        }
    }
    return groups;
}

}  // namespace kelsor::server::layout
