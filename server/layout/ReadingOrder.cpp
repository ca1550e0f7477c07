#include "server/layout/ReadingOrder.h"

#include "server/layout/VerticalColumns.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kelsor::server::layout {
namespace {

// Skews below this (0.3 degrees) are noise of the box corners; leaving the
// page as it stands keeps straight pages in exactly the row order.
constexpr double kNoticeableSkew = 0.0052;
// Segments steeper than this are not text lines of a page skewed within
// kMaxSkew (vertical text, boxes of a turned page).
constexpr double kSteepSegment = 2.0 * kMaxSkew;
// A gap between columns is at least this many line heights wide (boxes
// reach a little beyond their text, so a gap of one em looks narrower).
constexpr double kColumnGap = 0.5;
// A column of running text is at least this many line heights wide, which
// keeps the label column of a table out, and holds this many lines (the last
// column may be shorter): two lines cut at the same wide space are not columns.
constexpr double kColumnWidth = 5.0;
constexpr std::size_t kColumnLines = 3;
// Running text fills its column: this share of the lines of a region split
// into columns reach this share of their column's width.
constexpr double kFullLineShare = 0.6;
constexpr double kFullLineWidth = 0.6;
// Boxes narrower or lower than this (in line heights) are specks, a stray
// mark in a gutter, a rule between columns or a line of a word or two: they
// neither make nor close a gap, and go with the column they lie in.
constexpr double kMinorWidth = 2.0;
constexpr double kMinorHeight = 0.5;
// A line alone at the top (bottom) of a region, with at least this many line
// heights of white across the whole region below (above) it, is a heading
// (footer) even where it fits inside one column.
constexpr double kSpanningGap = 1.0;
// Nesting of columns in columns is shallow on real pages; deeper nesting is
// read as rows rather than risking a deep recursion.
constexpr int kMaxDepth = 48;

using Rect = Bounds;

double Finite(double v) {
    return std::isfinite(v) ? v : 0.0;
}

bool Upright(const Quad& q) {
    return q[0].y == q[1].y && q[0].x == q[3].x;
}

// The box in the page straightened by the skew (rotated by its negative).
// Top, bottom and sides are taken from the corners that should hold them, as
// the row order always has.
Rect StraightBounds(const Quad& quad, double cosA, double sinA) {
    Quad q;
    for (std::size_t i = 0; i < 4; ++i) {
        q[i] = {Finite(quad[i].x), Finite(quad[i].y)};
    }
    if (sinA != 0.0 && Upright(q)) {
        // An upright box around a skewed line is taller and wider than the
        // line; the line's own length and height are what it holds.
        const double w = std::abs(q[1].x - q[0].x), h = std::abs(q[3].y - q[0].y);
        const double s = std::abs(sinA), c = std::max(cosA * cosA - s * s, 0.5);
        const double length = std::clamp((w * cosA - h * s) / c, 0.0, w);
        const double height = std::clamp((h * cosA - w * s) / c, 0.25 * h, h);
        const double x = (q[0].x + q[1].x) / 2, y = (q[0].y + q[3].y) / 2;
        const double cx = x * cosA + y * sinA, cy = -x * sinA + y * cosA;
        return {cy - height / 2, cy + height / 2, cx - length / 2, cx + length / 2};
    }
    for (Point& p : q) {
        p = {p.x * cosA + p.y * sinA, -p.x * sinA + p.y * cosA};
    }
    Rect r{std::min(q[0].y, q[1].y), std::max(q[2].y, q[3].y), std::min(q[0].x, q[3].x),
           std::max(q[1].x, q[2].x)};
    // Corners given in the wrong order still make a box with a size.
    if (r.bottom < r.top) {
        std::swap(r.bottom, r.top);
    }
    if (r.right < r.left) {
        std::swap(r.right, r.left);
    }
    return r;
}

using Ids = std::vector<std::size_t>;

// Sorted x-extents; extents closer than the gap are one.
class Extents {
public:
    explicit Extents(double gap) : m_gap(gap) {}

    void Add(double left, double right) {
        auto first = std::find_if(m_spans.begin(), m_spans.end(),
                                  [&](const Span& s) { return s.right + m_gap > left; });
        auto last = first;
        while (last != m_spans.end() && last->left - m_gap < right) {
            left = std::min(left, last->left);
            right = std::max(right, last->right);
            ++last;
        }
        m_spans.insert(m_spans.erase(first, last), Span{left, right});
    }
    std::size_t Count() const { return m_spans.size(); }

private:
    struct Span {
        double left;
        double right;
    };
    double m_gap;
    std::vector<Span> m_spans;
};

class Layout {
public:
    explicit Layout(std::vector<Rect> rects) : m_rects(std::move(rects)) {
        m_lineHeight = LineHeight(m_rects);
        for (const Rect& r : m_rects) {
            m_minor.push_back(r.right - r.left < kMinorWidth * m_lineHeight ||
                              r.bottom - r.top < kMinorHeight * m_lineHeight);
        }
    }

    Ids Order() {
        Ids all(m_rects.size());
        std::iota(all.begin(), all.end(), std::size_t{0});
        Ids out;
        out.reserve(all.size());
        OrderRegion(all, 0, out);
        return out;
    }

    // Rows top to bottom, each left to right: boxes sorted by their middle,
    // and a box joins the row when it overlaps the row's vertical span by
    // more than half of the smaller height.
    std::vector<Ids> Rows(Ids ids) const {
        auto top = [this](std::size_t i) { return m_rects[i].top; };
        auto bottom = [this](std::size_t i) { return m_rects[i].bottom; };
        std::stable_sort(ids.begin(), ids.end(), [&](std::size_t a, std::size_t b) {
            return top(a) + bottom(a) < top(b) + bottom(b);
        });
        std::vector<Ids> rows;
        std::size_t start = 0;
        while (start < ids.size()) {
            double rowTop = top(ids[start]);
            double rowBottom = bottom(ids[start]);
            std::size_t end = start + 1;
            while (end < ids.size()) {
                const double overlap =
                    std::min(rowBottom, bottom(ids[end])) - std::max(rowTop, top(ids[end]));
                const double smaller =
                    std::min(rowBottom - rowTop, bottom(ids[end]) - top(ids[end]));
                if (smaller <= 0.0 || overlap <= 0.5 * smaller) {
                    break;
                }
                rowTop = std::min(rowTop, top(ids[end]));
                rowBottom = std::max(rowBottom, bottom(ids[end]));
                ++end;
            }
            Ids row(ids.begin() + static_cast<std::ptrdiff_t>(start),
                    ids.begin() + static_cast<std::ptrdiff_t>(end));
            std::stable_sort(row.begin(), row.end(), [this](std::size_t a, std::size_t b) {
                return m_rects[a].left < m_rects[b].left;
            });
            rows.push_back(std::move(row));
            start = end;
        }
        return rows;
    }

private:
    double Gap() const { return kColumnGap * m_lineHeight; }

    void OrderRegion(const Ids& ids, int depth, Ids& out) const {
        if (ids.size() > 1 && depth < kMaxDepth) {
            std::vector<Ids> parts = HeadingOrFooter(ids);
            if (parts.empty()) {
                parts = Columns(ids);
            }
            if (parts.empty()) {
                parts = Bands(ids);
            }
            if (parts.size() > 1) {
                for (const Ids& part : parts) {
                    OrderRegion(part, depth + 1, out);
                }
                return;
            }
        }
        for (const Ids& row : Rows(ids)) {
            out.insert(out.end(), row.begin(), row.end());
        }
    }

    // The region's first row set apart when it is one line with a wide white
    // band under it, or else its last row when white sets it apart above;
    // empty otherwise.
    std::vector<Ids> HeadingOrFooter(const Ids& ids) const {
        std::vector<Ids> rows = Rows(ids);
        if (rows.size() < 3) {
            return {};
        }
        auto single = [this](const Ids& row) {
            Extents extents(Gap());
            for (std::size_t id : row) {
                if (!m_minor[id]) {
                    extents.Add(m_rects[id].left, m_rects[id].right);
                }
            }
            return extents.Count() == 1;
        };
        auto white = [this](const Ids& upper, const Ids& lower) {
            double bottom = -std::numeric_limits<double>::infinity();
            double top = std::numeric_limits<double>::infinity();
            for (std::size_t id : upper) {
                bottom = std::max(bottom, m_rects[id].bottom);
            }
            for (std::size_t id : lower) {
                top = std::min(top, m_rects[id].top);
            }
            return top - bottom >= kSpanningGap * m_lineHeight;
        };
        Ids rest;
        if (single(rows.front())) {
            for (std::size_t r = 1; r < rows.size(); ++r) {
                rest.insert(rest.end(), rows[r].begin(), rows[r].end());
            }
            if (white(rows.front(), rest)) {
                return {rows.front(), rest};
            }
        }
        if (single(rows.back())) {
            rest.clear();
            for (std::size_t r = 0; r + 1 < rows.size(); ++r) {
                rest.insert(rest.end(), rows[r].begin(), rows[r].end());
            }
            if (white(rest, rows.back())) {
                return {rest, rows.back()};
            }
        }
        return {};
    }

    // The region split left to right at gaps that run down all of it, when
    // what lies between the gaps reads as columns of running text; empty
    // otherwise.
    std::vector<Ids> Columns(Ids ids) const {
        std::stable_sort(ids.begin(), ids.end(), [this](std::size_t a, std::size_t b) {
            return m_rects[a].left < m_rects[b].left;
        });
        std::vector<Ids> columns;
        std::vector<std::pair<double, double>> spans;
        for (std::size_t id : ids) {
            const Rect& r = m_rects[id];
            if (m_minor[id]) {
                continue;
            }
            if (columns.empty() || r.left - spans.back().second >= Gap()) {
                columns.emplace_back();
                spans.emplace_back(r.left, r.right);
            }
            columns.back().push_back(id);
            spans.back().second = std::max(spans.back().second, r.right);
        }
        if (columns.size() < 2) {
            return {};
        }
        std::size_t fullLines = 0, lines = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const double width = spans[c].second - spans[c].first;
            const bool last = c + 1 == columns.size();
            if (width < kColumnWidth * m_lineHeight ||
                columns[c].size() < (last ? std::size_t{2} : kColumnLines)) {
                return {};
            }
            for (std::size_t id : columns[c]) {
                if (m_rects[id].right - m_rects[id].left >= kFullLineWidth * width) {
                    ++fullLines;
                }
            }
            lines += columns[c].size();
        }
        if (static_cast<double>(fullLines) < kFullLineShare * static_cast<double>(lines)) {
            return {};
        }
        for (std::size_t id : ids) {
            if (m_minor[id]) {
                columns[Nearest(spans, m_rects[id])].push_back(id);
            }
        }
        return columns;
    }

    // The span closest to the middle of `r`.
    static std::size_t Nearest(const std::vector<std::pair<double, double>>& spans, const Rect& r) {
        const double middle = (r.left + r.right) / 2;
        std::size_t best = 0;
        double bestDistance = 0.0;
        for (std::size_t c = 0; c < spans.size(); ++c) {
            const double distance =
                std::max({spans[c].first - middle, middle - spans[c].second, 0.0});
            if (c == 0 || distance < bestDistance) {
                best = c;
                bestDistance = distance;
            }
        }
        return best;
    }

    // The region's rows gathered top to bottom into bands: a row joins the
    // band while gaps still run down both and the row closes none of the
    // band's gaps nor the band any of the row's. So a band is either a stretch
    // of columns or what lies across them (a heading, a caption, a footer).
    std::vector<Ids> Bands(const Ids& ids) const {
        std::vector<Ids> bands;
        Extents extents(Gap());
        for (const Ids& row : Rows(ids)) {
            Extents own(Gap());
            for (std::size_t id : row) {
                if (!m_minor[id]) {
                    own.Add(m_rects[id].left, m_rects[id].right);
                }
            }
            Extents joined = extents;
            for (std::size_t id : row) {
                if (!m_minor[id]) {
                    joined.Add(m_rects[id].left, m_rects[id].right);
                }
            }
            const bool continues = joined.Count() >= 2 && joined.Count() >= extents.Count() &&
                                   joined.Count() >= own.Count();
            // A row of specks alone goes with the band above it.
            if (bands.empty() || (own.Count() > 0 && !continues)) {
                bands.emplace_back();
                extents = std::move(own);
            } else {
                extents = std::move(joined);
            }
            bands.back().insert(bands.back().end(), row.begin(), row.end());
        }
        return bands;
    }

    std::vector<Rect> m_rects;
    std::vector<bool> m_minor;
    double m_lineHeight = 1.0;
};

}  // namespace

std::vector<Bounds> StraightBounds(const std::vector<Quad>& lines, double skew) {
    std::vector<Bounds> rects;
    rects.reserve(lines.size());
    const double cosA = std::cos(skew), sinA = std::sin(skew);
    for (const Quad& quad : lines) {
        rects.push_back(StraightBounds(quad, cosA, sinA));
    }
    return rects;
}

double LineHeight(const std::vector<Bounds>& lines) {
    std::vector<double> heights;
    heights.reserve(lines.size());
    for (const Bounds& r : lines) {
        heights.push_back(r.bottom - r.top);
    }
    double median = 0.0;
    if (!heights.empty()) {
        std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
        median = heights[heights.size() / 2];
    }
    // Boxes without height still need a scale to measure gaps by.
    return std::max(median, 1.0);
}

double MedianSkew(const std::vector<Segment>& directions) {
    std::vector<double> angles;
    for (const Segment& s : directions) {
        const double dx = Finite(s.to.x) - Finite(s.from.x);
        const double dy = Finite(s.to.y) - Finite(s.from.y);
        if (dx <= 0.0) {
            continue;
        }
        const double angle = std::atan2(dy, dx);
        if (std::abs(angle) <= kSteepSegment) {
            angles.push_back(angle);
        }
    }
    if (angles.empty()) {
        return 0.0;
    }
    std::nth_element(angles.begin(), angles.begin() + angles.size() / 2, angles.end());
    const double median = angles[angles.size() / 2];
    return std::abs(median) > kMaxSkew || std::abs(median) < kNoticeableSkew ? 0.0 : median;
}

double SkewOfLines(const std::vector<Quad>& lines) {
    std::vector<Segment> edges;
    for (const Quad& q : lines) {
        const double length = std::hypot(q[1].x - q[0].x, q[1].y - q[0].y);
        const double height = std::hypot(q[3].x - q[0].x, q[3].y - q[0].y);
        // Short boxes (a word, a number) give a poor angle.
        if (length >= 2.0 * height) {
            edges.push_back({q[0], q[1]});
            edges.push_back({q[3], q[2]});
        }
    }
    return MedianSkew(edges);
}

std::vector<std::size_t> RowOrder(const std::vector<Quad>& lines) {
    Ids all(lines.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    Ids out;
    out.reserve(lines.size());
    for (const Ids& row : Layout(StraightBounds(lines, 0.0)).Rows(std::move(all))) {
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<std::size_t> ReadingOrder(const std::vector<Quad>& lines, double skew) {
    const double angle = std::isfinite(skew) && std::abs(skew) <= kMaxSkew ? skew : 0.0;
    std::vector<Bounds> bounds = StraightBounds(lines, angle);
    // Text set in columns is read right to left, each column down.
    if (InColumns(bounds)) {
        return ColumnOrder(bounds);
    }
    return Layout(std::move(bounds)).Order();
}

std::vector<std::size_t> ReadingOrder(const std::vector<Quad>& lines) {
    return ReadingOrder(lines, SkewOfLines(lines));
}

std::vector<Quad> QuadsOf(const std::vector<TextBlock>& lines) {
    std::vector<Quad> quads;
    quads.reserve(lines.size());
    for (const TextBlock& line : lines) {
        Quad& quad = quads.emplace_back();
        for (std::size_t i = 0; i < 4; ++i) {
            quad[i] = {static_cast<double>(line.location[i][0]),
                       static_cast<double>(line.location[i][1])};
        }
    }
    return quads;
}

void SortLines(std::vector<TextBlock>& lines, double skew) {
    ApplyOrder(lines, ReadingOrder(QuadsOf(lines), skew));
}

void SortLines(std::vector<TextBlock>& lines) {
    ApplyOrder(lines, ReadingOrder(QuadsOf(lines)));
}

}  // namespace kelsor::server::layout
