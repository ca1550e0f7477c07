#include "server/layout/Gutters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>

namespace kelsor::server::layout {
namespace {

// A blank stretch may be a gutter's when at least this many line heights
// wide: wider than a word space, narrower than a gutter of one em (a box is
// 1.2 to 1.4 em high, and a letter's ink may reach into the gutter). The
// blank after a Chinese comma is as wide; that it runs down the region tells
// the two apart.
constexpr double kGutterWidth = 0.4;
// A blank inside a line is cut only when at least this many of the line's
// own heights wide: a heading in larger type has word spaces as wide as a
// narrow gutter, and one of them may fall on it.
constexpr double kOwnGap = 0.55;
// A box shorter than this many line heights is a word or a speck, which
// neither crosses a gutter nor closes one.
constexpr double kShortLine = 2.0;
// A column's line ends (starts) at a gutter where the blank after (before)
// it is this many times as wide as the line's median blank, not at a word.
constexpr double kWiderThanSpaces = 1.3;
// A line is cut only with a line beside the gutter less than this many line
// heights of white above or below it: a heading or footer set apart by white
// stays whole even where one of its word spaces falls on the gutter.
constexpr double kCloseWhite = 1.0;
// A box's end reaching this many line heights beyond its ink is loose: when
// it reaches into a gutter it is trimmed.
constexpr double kLooseEnd = 0.1;
// Ink narrower than this many line heights across a gutter from the rest of
// its box is a sliver of another column's letter.
constexpr double kSliverWidth = 0.5;
// The lines whose middles lie within this many line heights of a line's
// middle are the region the gutter must run down.
constexpr double kRegionReach = 8.0;
// One line in this many of the region, and at least one, may cross the band
// (a heading, a caption, a speck in the gutter).
constexpr std::size_t kCrossingShare = 8;
// A column beside the gutter: at least kBesideLines lines, and one in
// kBesideShare of the region's lines near the band, whose ink spans at least
// kBesideWidth line heights on that side of the band (running text, not a
// table's narrow cells nor page numbers). On the left their ink ends within
// kBesideReach line heights of the band (ragged ends), on the right it
// starts within kFlushStart of it: a column's lines start flush.
constexpr std::size_t kBesideLines = 3;
constexpr std::size_t kBesideShare = 6;
constexpr double kBesideReach = 6.0;
constexpr double kFlushStart = 0.5;
constexpr double kBesideWidth = 4.0;
// A gutter whose columns show no flush edge beside it (indented first lines,
// short last lines) is known by its length instead: a band at least
// kWideGutter line heights wide that stays clear down the rows within
// kGutterReach line heights, kGutterRows of them with ink within kGutterSide
// line heights on both sides of it. Word spaces never line up over so many
// rows, and Chinese text has none.
constexpr double kWideGutter = 0.6;
constexpr std::size_t kGutterRows = 6;
constexpr double kGutterSide = 2.0;
constexpr double kGutterReach = 24.0;

// A line's ink: fractions of its length, sorted and clamped, and the same in
// straightened page x.
struct Ink {
    InkRuns fractions;
    std::vector<Span> x;
    double spaces = 0.0;  // see MedianBlank
    double top = 0.0;
    double bottom = 0.0;
};

// The median blank between the runs of a line (0 with fewer than three,
// which may all be gutters): its word spaces, or the blanks after its
// punctuation.
double MedianBlank(const std::vector<Span>& runs) {
    std::vector<double> blanks;
    for (std::size_t k = 1; k < runs.size(); ++k) {
        blanks.push_back(runs[k].first - runs[k - 1].second);
    }
    if (blanks.size() < 3) {
        return 0.0;
    }
    std::nth_element(blanks.begin(), blanks.begin() + blanks.size() / 2, blanks.end());
    return blanks[blanks.size() / 2];
}

Ink InkOf(const Bounds& b, const InkRuns* given) {
    Ink ink;
    if (given != nullptr) {
        for (auto [from, to] : *given) {
            if (std::isfinite(from) && std::isfinite(to) && from <= to) {
                ink.fractions.emplace_back(std::clamp(from, 0.0, 1.0), std::clamp(to, 0.0, 1.0));
            }
        }
        std::sort(ink.fractions.begin(), ink.fractions.end());
    }
    if (ink.fractions.empty()) {
        ink.fractions.emplace_back(0.0, 1.0);
    }
    const double width = b.right - b.left;
    for (auto [from, to] : ink.fractions) {
        ink.x.emplace_back(b.left + from * width, b.left + to * width);
    }
    ink.spaces = MedianBlank(ink.x);
    ink.top = b.top;
    ink.bottom = b.bottom;
    return ink;
}

// How many runs of ink cover each stretch between consecutive places of
// `places` (every end of every run the page holds, and the ends of the gaps
// looked at), for the lines of a window that slides down the page: a line's
// runs are added as the window reaches it and taken away as it leaves. A
// region of many lines (boxes stacked in a row) then costs a few steps per
// gap instead of a pass over every run of the region.
class Coverage {
public:
    explicit Coverage(std::vector<double> places) : m_places(std::move(places)) {
        const std::size_t stretches = std::max<std::size_t>(m_places.size(), 2) - 1;
        m_size = 1;
        while (m_size < stretches) {
            m_size *= 2;
        }
        m_min.assign(2 * m_size, 0);
        m_max.assign(2 * m_size, 0);
        m_add.assign(2 * m_size, 0);
        m_starts.assign(m_places.size() + 1, 0);
        m_ends.assign(m_places.size() + 1, 0);
    }

    // Adds `change` over each run of `runs`: a run covers the stretches
    // between its ends (one of no length covers none).
    void Add(const std::vector<Span>& runs, int change) {
        for (auto [from, to] : runs) {
            const std::size_t first = Index(from), last = Index(to);
            if (first < last) {
                Add(1, 0, m_size, first, last, change);
            }
            Count(m_starts, first, change);
            Count(m_ends, last, change);
        }
    }

    // How many runs start (end) within [from, to]: a column beside a band
    // needs a few, so a band at a page's margin is passed over at once.
    int Starts(double from, double to) const { return Between(m_starts, from, to); }
    int Ends(double from, double to) const { return Between(m_ends, from, to); }

    // The widest part of `gap` where at most `allowed` runs lie at any one
    // place; the leftmost of equal ones, and {gap.first, gap.first} when there
    // is none. Touching ink does not cover.
    Span ClearBand(Span gap, int allowed) {
        Walk walk{allowed, Index(gap.first), {gap.first, gap.first}, kNone};
        const std::size_t last = Index(gap.second);
        if (walk.from < last) {
            Visit(1, 0, m_size, walk.from, last, walk);
        }
        if (walk.start != kNone) {
            Consider(walk, last);
        }
        return walk.best;
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    struct Walk {
        int allowed;
        std::size_t from;  // the gap's first place
        Span best;
        std::size_t start;  // where the clear stretch being walked began, or kNone
    };

    static void Count(std::vector<int>& counts, std::size_t index, int change) {
        for (std::size_t i = index + 1; i < counts.size(); i += i & (~i + 1)) {
            counts[i] += change;
        }
    }
    // Runs counted at the places before `end`.
    static int Before(const std::vector<int>& counts, std::size_t end) {
        int total = 0;
        for (std::size_t i = end; i > 0; i -= i & (~i + 1)) {
            total += counts[i];
        }
        return total;
    }
    int Between(const std::vector<int>& counts, double from, double to) const {
        const auto past = std::upper_bound(m_places.begin(), m_places.end(), to) - m_places.begin();
        const std::size_t end = static_cast<std::size_t>(past);
        const std::size_t begin = Index(from);
        return begin < end ? Before(counts, end) - Before(counts, begin) : 0;
    }

    std::size_t Index(double place) const {
        return static_cast<std::size_t>(std::lower_bound(m_places.begin(), m_places.end(), place) -
                                        m_places.begin());
    }

    void Add(std::size_t node, std::size_t lo, std::size_t hi, std::size_t first, std::size_t last,
             int change) {
        if (last <= lo || hi <= first) {
            return;
        }
        if (first <= lo && hi <= last) {
            m_min[node] += change;
            m_max[node] += change;
            m_add[node] += change;
            return;
        }
        Push(node);
        const std::size_t mid = (lo + hi) / 2;
        Add(2 * node, lo, mid, first, last, change);
        Add(2 * node + 1, mid, hi, first, last, change);
        m_min[node] = std::min(m_min[2 * node], m_min[2 * node + 1]);
        m_max[node] = std::max(m_max[2 * node], m_max[2 * node + 1]);
    }

    void Push(std::size_t node) {
        for (std::size_t child : {2 * node, 2 * node + 1}) {
            m_min[child] += m_add[node];
            m_max[child] += m_add[node];
            m_add[child] += m_add[node];
        }
        m_add[node] = 0;
    }

    void Consider(Walk& walk, std::size_t end) const {
        const double from = m_places[walk.start];
        if (m_places[end] - from > walk.best.second - walk.best.first) {
            walk.best = {from, m_places[end]};
        }
        walk.start = kNone;
    }

    // The stretches first..last-1 in order, whole nodes at a time where they
    // are all clear or all covered.
    void Visit(std::size_t node, std::size_t lo, std::size_t hi, std::size_t first,
               std::size_t last, Walk& walk) {
        if (last <= lo || hi <= first) {
            return;
        }
        if (first <= lo && hi <= last) {
            if (m_max[node] <= walk.allowed) {
                if (walk.start == kNone) {
                    walk.start = lo;
                }
                return;
            }
            if (m_min[node] > walk.allowed) {
                if (walk.start != kNone) {
                    Consider(walk, lo);
                }
                return;
            }
        }
        Push(node);
        const std::size_t mid = (lo + hi) / 2;
        Visit(2 * node, lo, mid, first, last, walk);
        Visit(2 * node + 1, mid, hi, first, last, walk);
    }

    std::vector<double> m_places;
    std::size_t m_size = 1;
    std::vector<int> m_min, m_max, m_add;
    std::vector<int> m_starts, m_ends;  // run starts and ends per place, as Fenwick sums
};

class Gutters {
public:
    Gutters(const std::vector<Quad>& lines, const std::vector<InkRuns>& ink, double skew)
        : m_bounds(StraightBounds(lines,
                                  std::isfinite(skew) && std::abs(skew) <= kMaxSkew ? skew : 0.0)),
          m_lineHeight(LineHeight(m_bounds)) {
        for (std::size_t i = 0; i < m_bounds.size(); ++i) {
            m_ink.push_back(InkOf(m_bounds[i], i < ink.size() ? &ink[i] : nullptr));
            m_middles.emplace_back((m_bounds[i].top + m_bounds[i].bottom) / 2, i);
        }
        std::sort(m_middles.begin(), m_middles.end());
    }

    std::vector<std::vector<Span>> Pieces() const {
        std::vector<std::vector<Span>> pieces(m_ink.size(), {{0.0, 1.0}});
        std::vector<double> places;
        const double reach = kBesideReach * m_lineHeight;
        for (const Ink& ink : m_ink) {
            for (auto [from, to] : ink.x) {
                places.insert(places.end(), {from, to});
            }
            places.insert(places.end(), {ink.x.front().first - reach, ink.x.back().second + reach});
        }
        // Lines placed where no order holds are all kept whole.
        if (!std::all_of(places.begin(), places.end(), [](double x) { return std::isfinite(x); }) ||
            !std::isfinite(m_lineHeight)) {
            return pieces;
        }
        std::sort(places.begin(), places.end());
        places.erase(std::unique(places.begin(), places.end()), places.end());
        // The lines are taken in the order of their middles, so that the
        // regions around them slide down the page.
        Window nearby(places, kRegionReach), rows(places, kGutterReach);
        // Lines alike in place and ink (boxes stacked on one another) have
        // alike regions: the first one's pieces serve them all.
        std::map<std::pair<std::array<double, 4>, std::vector<Span>>, std::size_t> alike;
        for (const auto& [middle, line] : m_middles) {
            const Bounds& b = m_bounds[line];
            const auto [first, added] =
                alike.try_emplace({{b.top, b.bottom, b.left, b.right}, m_ink[line].x}, line);
            if (!added) {
                pieces[line] = pieces[first->second];
                continue;
            }
            for (Window* window : {&nearby, &rows}) {
                Slide(*window, middle);
                window->coverage.Add(m_ink[line].x, -1);  // a line is not its own region
            }
            pieces[line] = PiecesOf(line, nearby, rows);
            for (Window* window : {&nearby, &rows}) {
                window->coverage.Add(m_ink[line].x, 1);
            }
        }
        return pieces;
    }

private:
    // The lines whose middles lie within `lines` line heights of a middle:
    // m_middles[first..last), and the coverage of their ink.
    struct Window {
        Window(const std::vector<double>& places, double reachLines)
            : coverage(places), lines(reachLines) {}
        Coverage coverage;
        double lines;
        std::size_t first = 0, last = 0;
        // The lines of a region around a line but for the line itself: at
        // most one in this many of them may cross a gutter.
        int Allowed() const {
            return static_cast<int>((last - first - 1 + kCrossingShare - 1) / kCrossingShare);
        }
    };

    void Slide(Window& window, double middle) const {
        const double reach = window.lines * m_lineHeight;
        for (; window.last < m_middles.size() && m_middles[window.last].first <= middle + reach;
             ++window.last) {
            window.coverage.Add(m_ink[m_middles[window.last].second].x, 1);
        }
        for (; m_middles[window.first].first < middle - reach; ++window.first) {
            window.coverage.Add(m_ink[m_middles[window.first].second].x, -1);
        }
    }

    std::vector<Span> PiecesOf(std::size_t line, Window& nearby, Window& rows) const {
        const Ink& ink = m_ink[line];
        const InkRuns& runs = ink.fractions;
        const Bounds& bounds = m_bounds[line];
        const std::size_t n = runs.size();
        if (bounds.right - bounds.left < kShortLine * m_lineHeight) {
            return {{0.0, 1.0}};
        }
        // Blank k lies before run k; blank n after the last run. Beyond its
        // ink a line is blank as far as the next column: a box's end that
        // reaches into a gutter is trimmed, so that the column's edge shows.
        std::vector<bool> cut(n + 1, false);
        // The regions are listed only for a gap that may be a gutter.
        std::vector<const Ink*> region, rowRegion;
        const double reach = kBesideReach * m_lineHeight, loose = kLooseEnd * m_lineHeight;
        for (std::size_t k = 0; k <= n; ++k) {
            Span gap;
            if (k == 0) {
                gap = {ink.x[0].first - reach, ink.x[0].first};
                if (gap.second - bounds.left < loose) {
                    continue;
                }
            } else if (k == n) {
                gap = {ink.x[n - 1].second, ink.x[n - 1].second + reach};
                if (bounds.right - gap.first < loose) {
                    continue;
                }
            } else {
                gap = {ink.x[k - 1].second, ink.x[k].first};
                if (gap.second - gap.first <
                    std::max(kGutterWidth * m_lineHeight, kOwnGap * (bounds.bottom - bounds.top))) {
                    continue;
                }
            }
            const Span band = nearby.coverage.ClearBand(gap, nearby.Allowed());
            if (band.second - band.first >= kGutterWidth * m_lineHeight &&
                MayHaveColumns(nearby.coverage, band, 0)) {
                if (region.empty()) {
                    region = Region(line);
                }
                cut[k] = OnGutter(band, ink, region);
            }
            const Span rowBand = cut[k] ? Span{} : rows.coverage.ClearBand(gap, rows.Allowed());
            if (rowBand.second - rowBand.first >= kWideGutter * m_lineHeight &&
                MayHaveColumns(rows.coverage, rowBand, n)) {
                if (rowRegion.empty()) {
                    rowRegion = Region(line, kGutterReach);
                }
                cut[k] = LongGutter(rowBand, ink, rowRegion);
            }
        }
        if (std::find(cut.begin(), cut.end(), true) == cut.end()) {
            return {{0.0, 1.0}};
        }
        // Runs between cuts make a piece; a box's end that no cut trims stays.
        struct Piece {
            double from, to;
            bool boxStart, boxEnd;
        };
        std::vector<Piece> pieces;
        for (std::size_t k = 0; k < n; ++k) {
            if (k == 0 || cut[k]) {
                pieces.push_back({runs[k].first, runs[k].second, k == 0 && !cut[0], false});
            }
            pieces.back().to = runs[k].second;
        }
        pieces.back().boxEnd = !cut[n];
        // A sliver across a gutter is the edge of a letter of the next
        // column, which that column's own box holds.
        const double length = std::max(bounds.right - bounds.left, 1e-9);
        const double sliver = kSliverWidth * m_lineHeight / length;
        const auto widest = std::max_element(pieces.begin(), pieces.end(), [](auto& a, auto& b) {
            return a.to - a.from < b.to - b.from;
        });
        const Piece kept = *widest;
        pieces.erase(std::remove_if(pieces.begin(), pieces.end(),
                                    [&](const Piece& p) { return p.to - p.from < sliver; }),
                     pieces.end());
        if (pieces.empty()) {
            pieces.push_back(kept);
        }
        // The white a box has beyond its ink, from its own ends; never as
        // much as half a gutter.
        const double margin = std::min({runs.front().first, 1.0 - runs.back().second,
                                        0.5 * kGutterWidth * m_lineHeight / length});
        std::vector<Span> spans;
        for (const Piece& p : pieces) {
            spans.emplace_back(p.boxStart ? 0.0 : std::max(p.from - margin, 0.0),
                               p.boxEnd ? 1.0 : std::min(p.to + margin, 1.0));
        }
        return spans;
    }

    // The other lines whose middles are near the line's.
    std::vector<const Ink*> Region(std::size_t line, double lines = kRegionReach) const {
        const double middle = (m_bounds[line].top + m_bounds[line].bottom) / 2;
        const double reach = lines * m_lineHeight;
        auto first = std::lower_bound(m_middles.begin(), m_middles.end(),
                                      std::pair<double, std::size_t>{middle - reach, 0});
        std::vector<const Ink*> region;
        for (auto it = first; it != m_middles.end() && it->first <= middle + reach; ++it) {
            if (it->second != line) {
                region.push_back(&m_ink[it->second]);
            }
        }
        return region;
    }

    // Whether enough runs of the region (and `ownRuns` of the line's own) end
    // before the band and start after it for OnGutter (`ownRuns` 0) or
    // LongGutter to find columns on both sides; false spares their pass over
    // the region.
    bool MayHaveColumns(const Coverage& coverage, Span band, std::size_t ownRuns) const {
        if (ownRuns == 0) {
            const double reach = kBesideReach * m_lineHeight, touch = 0.05 * m_lineHeight;
            const double flush = kFlushStart * m_lineHeight;
            const int needed = static_cast<int>(kBesideLines);
            return coverage.Ends(band.first - reach, band.first + touch) >= needed &&
                   coverage.Starts(band.second - touch, band.second + flush) >= needed;
        }
        const double touch = 0.25 * (band.second - band.first), side = kGutterSide * m_lineHeight;
        const int needed = static_cast<int>(kGutterRows) - static_cast<int>(ownRuns);
        return coverage.Ends(band.first - side, band.first + touch) >= needed &&
               coverage.Starts(band.second - touch, band.second + side) >= needed;
    }

    // Whether the clear band (at least kGutterWidth line heights wide) has
    // columns of running text on both sides down the region.
    bool OnGutter(Span band, const Ink& own, const std::vector<const Ink*>& region) const {
        const double reach = kBesideReach * m_lineHeight, wide = kBesideWidth * m_lineHeight;
        const double touch = 0.05 * m_lineHeight, flush = kFlushStart * m_lineHeight;
        std::size_t left = 0, right = 0, near = 0;
        bool close = false;
        for (const Ink* ink : region) {
            near += std::any_of(ink->x.begin(), ink->x.end(), [&](const Span& r) {
                return r.second > band.first - reach && r.first < band.second + reach;
            });
            const std::vector<Span>& x = ink->x;
            const double space = kWiderThanSpaces * ink->spaces;
            bool ends = false, starts = false;
            for (std::size_t k = 0; k < x.size(); ++k) {
                ends = ends ||
                       (x[k].second <= band.first + touch && x[k].second >= band.first - reach &&
                        x[k].second - x.front().first >= wide &&
                        (k + 1 == x.size() || x[k + 1].first - x[k].second >= space));
                starts = starts ||
                         (x[k].first >= band.second - touch && x[k].first <= band.second + flush &&
                          x.back().second - x[k].first >= wide &&
                          (k == 0 || x[k].first - x[k - 1].second >= space));
            }
            left += ends ? 1 : 0;
            right += starts ? 1 : 0;
            close = close ||
                    ((ends || starts) && std::max(ink->top - own.bottom, own.top - ink->bottom) <
                                             kCloseWhite * m_lineHeight);
        }
        const std::size_t needed = std::max(kBesideLines, (near + kBesideShare - 1) / kBesideShare);
        return close && left >= needed && right >= needed;
    }

    // Whether the band stays clear down the rows around the line (its own
    // among them), with no row across it and no wide white between them, and
    // enough of those rows have ink close to it.
    bool LongGutter(Span band, const Ink& own, const std::vector<const Ink*>& region) const {
        struct Row {
            double middle, top, bottom;
            bool across, left, right;
        };
        // Ink reaching a little into the band (ClearBand lets a few lines do so)
        // is beside it; only ink over its middle half runs across it.
        const double touch = 0.25 * (band.second - band.first), side = kGutterSide * m_lineHeight;
        auto rowOf = [&](const Ink& ink) {
            Row row{(ink.top + ink.bottom) / 2, ink.top, ink.bottom, false, false, false};
            // A word or a speck neither crosses the band nor stands beside it.
            if (ink.x.back().second - ink.x.front().first < kShortLine * m_lineHeight) {
                return row;
            }
            // Running text beside the band, not a table's narrow cell.
            const double wide = kBesideWidth * m_lineHeight;
            for (auto [from, to] : ink.x) {
                row.across = row.across || (from < band.second - touch && to > band.first + touch);
                row.left = row.left || (to <= band.first + touch && to >= band.first - side &&
                                        to - ink.x.front().first >= wide);
                row.right =
                    row.right || (from >= band.second - touch && from <= band.second + side &&
                                  ink.x.back().second - from >= wide);
            }
            return row;
        };
        // The region comes in the order of the middles; the line goes among
        // its equals (their order within a row does not matter).
        std::vector<Row> lines;
        lines.reserve(region.size() + 1);
        for (const Ink* ink : region) {
            lines.push_back(rowOf(*ink));
        }
        const Row ownRowOf = rowOf(own);
        const double ownMiddle = ownRowOf.middle;
        lines.insert(
            std::upper_bound(lines.begin(), lines.end(), ownMiddle,
                             [](double middle, const Row& row) { return middle < row.middle; }),
            ownRowOf);
        // Lines whose middles lie within half a line height are one row.
        std::vector<Row> rows;
        std::size_t ownRow = 0;
        for (const Row& line : lines) {
            if (rows.empty() || line.middle - rows.back().middle > 0.5 * m_lineHeight) {
                rows.push_back(line);
            } else {
                Row& row = rows.back();
                row = {row.middle,
                       std::min(row.top, line.top),
                       std::max(row.bottom, line.bottom),
                       row.across || line.across,
                       row.left || line.left,
                       row.right || line.right};
            }
            if (line.middle == ownMiddle) {
                ownRow = rows.size() - 1;
            }
        }
        if (rows[ownRow].across) {
            return false;
        }
        auto joined = [&](std::size_t upper) {
            return !rows[upper].across && !rows[upper + 1].across &&
                   rows[upper + 1].top - rows[upper].bottom < kCloseWhite * m_lineHeight;
        };
        std::size_t first = ownRow, last = ownRow;
        while (first > 0 && joined(first - 1)) {
            --first;
        }
        while (last + 1 < rows.size() && joined(last)) {
            ++last;
        }
        std::size_t both = 0;
        for (std::size_t r = first; r <= last; ++r) {
            both += rows[r].left && rows[r].right ? 1 : 0;
        }
        return both >= kGutterRows;
    }

    std::vector<Bounds> m_bounds;
    double m_lineHeight;
    std::vector<Ink> m_ink;
    std::vector<std::pair<double, std::size_t>> m_middles;
};

}  // namespace

std::vector<std::vector<Span>> LinePieces(const std::vector<Quad>& lines,
                                          const std::vector<InkRuns>& ink, double skew) {
    return Gutters(lines, ink, skew).Pieces();
}

}  // namespace kelsor::server::layout
