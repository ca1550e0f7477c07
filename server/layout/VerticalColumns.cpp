#include "server/layout/VerticalColumns.h"

#include <algorithm>
#include <iterator>
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

// Single characters run in columns when the next character down a column
// is nearer than the next one along a row by at least this factor.
constexpr double kColumnPitch = 0.8;

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The median of the boxes' smaller sides: what the page's text is high
// (a column's width, a line's height, a character's size).
double TextSize(const std::vector<Bounds>& boxes, const Ids& ids) {
    std::vector<double> sizes;
    for (std::size_t id : ids) {
        sizes.push_back(std::min(Width(boxes[id]), Height(boxes[id])));
    }
    return Median(std::move(sizes));
}

bool IsMark(const Bounds& b, double textSize) {
    return std::min(Width(b), Height(b)) < kMarkSize * textSize;
}

// `ids` without the marks among them.
Ids Characters(const std::vector<Bounds>& boxes, const Ids& ids) {
    const double size = TextSize(boxes, ids);
    Ids out;
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(out),
                 [&](std::size_t id) { return !IsMark(boxes[id], size); });
    return out;
}

// The width of a column: the median width of the boxes running down the
// page (of all boxes when none does), marks left out, at least 1.
double ColumnWidth(const std::vector<Bounds>& boxes, const Ids& ids) {
    const Ids characters = Characters(boxes, ids);
    std::vector<double> widths;
    for (std::size_t id : characters) {
        if (IsTallBox(boxes[id])) {
            widths.push_back(Width(boxes[id]));
        }
    }
    if (widths.empty()) {
        for (std::size_t id : characters) {
            widths.push_back(std::min(Width(boxes[id]), Height(boxes[id])));
        }
    }
    return std::max(1.0, Median(std::move(widths)));
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

// The median distance between the middles of neighbouring boxes down the
// columns `ids` make; 0 when no two share a column.
double PitchDown(const std::vector<Bounds>& boxes, const Ids& ids) {
    std::vector<double> steps;
    for (const Ids& column : Columns(boxes, ids)) {
        for (std::size_t i = 1; i < column.size(); ++i) {
            const Bounds& a = boxes[column[i - 1]];
            const Bounds& b = boxes[column[i]];
            steps.push_back((b.top + b.bottom - a.top - a.bottom) / 2);
        }
    }
    return Median(std::move(steps));
}

// The boxes turned about the diagonal: rows become columns.
std::vector<Bounds> Transposed(const std::vector<Bounds>& boxes) {
    std::vector<Bounds> out;
    for (const Bounds& b : boxes) {
        out.push_back({b.left, b.right, b.top, b.bottom});
    }
    return out;
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
    Ids all(boxes.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    // A mark boxed alone may be taller than wide in a line across as well.
    const Ids characters = Characters(boxes, all);
    const auto count = [&](bool (*shape)(const Bounds&)) {
        return std::count_if(characters.begin(), characters.end(),
                             [&](std::size_t id) { return shape(boxes[id]); });
    };
    const auto tall = count(IsTallBox);
    const auto wide = count(IsWideBox);
    Ids squares;
    std::copy_if(characters.begin(), characters.end(), std::back_inserter(squares),
                 [&](std::size_t id) { return !IsWideBox(boxes[id]); });
    // A title across does not outvote the columns under it when the
    // detector boxed them a character at a time.
    if (tall > 0 || squares.size() < 3 || squares.size() <= static_cast<std::size_t>(wide)) {
        return tall > wide;
    }
    // Single characters (a spaced column is boxed a character at a time):
    // in columns when they stack into fewer columns than rows, or when a
    // character's neighbour down its column is clearly nearer than its
    // neighbour along a row (short columns set apart, as a poem is).
    if (2 * Columns(boxes, squares).size() < RowCount(boxes, squares)) {
        return true;
    }
    const double down = PitchDown(boxes, squares);
    const double along = PitchDown(Transposed(boxes), squares);
    return down > 0.0 && along > 0.0 && down < kColumnPitch * along;
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
