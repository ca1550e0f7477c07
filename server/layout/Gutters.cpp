#include "server/layout/Gutters.h"

#include "server/layout/InkCoverage.h"
#include "server/layout/LineInk.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>

namespace kelsor::server::layout {
namespace {

using gutters::Apart;
using gutters::ClearBand;
using gutters::Ink;
using gutters::InkOf;

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
// How many lines of a region of `lines` may cross a band.
constexpr std::size_t Share(std::size_t lines) {
    return (lines + kCrossingShare - 1) / kCrossingShare;
}
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
// Regions of at most this many lines are passed over line by line; beyond it
// (boxes stacked over one row) the coverage of their ink is kept in a tree.
constexpr std::size_t kCrowdedRegion = 96;

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

    std::vector<std::vector<Span>> Pieces() {
        std::vector<std::vector<Span>> pieces(m_ink.size(), {{0.0, 1.0}});
        // A box shorter than kShortLine line heights is kept whole; a page of
        // such specks needs no regions at all.
        const auto isShort = [this](std::size_t line) {
            return m_bounds[line].right - m_bounds[line].left < kShortLine * m_lineHeight;
        };
        bool anyLong = false;
        for (std::size_t line = 0; line < m_ink.size() && !anyLong; ++line) {
            anyLong = !isShort(line);
        }
        if (!anyLong) {
            return pieces;
        }
        if (LargestRegion() <= kCrowdedRegion) {
            for (std::size_t line = 0; line < m_ink.size(); ++line) {
                pieces[line] = PiecesOf(line, nullptr, nullptr);
            }
            return pieces;
        }
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
        IndexCrowd();
        std::sort(places.begin(), places.end());
        places.erase(std::unique(places.begin(), places.end()), places.end());
        // The lines are taken in the order of their middles, so that the
        // regions around them slide down the page.
        Window nearby(places, kRegionReach), rows(places, kGutterReach);
        for (const Ink& ink : m_ink) {
            m_placed.push_back(nearby.coverage.Place(ink.x));
            for (std::size_t k = 0; k < ink.x.size(); ++k) {
                m_placed.back()[k].columnEnd = ColumnEnd(ink, k);
                m_placed.back()[k].columnStart = ColumnStart(ink, k);
            }
            m_tangled.push_back(!Apart(ink.x));
        }
        // Lines alike in place and ink (boxes stacked on one another) have
        // alike regions: the first one's pieces serve them all.
        std::map<std::pair<std::array<double, 4>, std::vector<Span>>, std::size_t> alike;
        for (const auto& [middle, line] : m_middles) {
            if (isShort(line)) {
                continue;
            }
            const Bounds& b = m_bounds[line];
            const auto [first, added] =
                alike.try_emplace({{b.top, b.bottom, b.left, b.right}, m_ink[line].x}, line);
            if (!added) {
                pieces[line] = pieces[first->second];
                continue;
            }
            // A line is not its own region. Ink in order, each run ending
            // before the next starts, covers none of the line's own gaps:
            // only its ends and starts are counted out (MayHaveColumns).
            const bool apart = !m_tangled[line];
            for (Window* window : {&nearby, &rows}) {
                Slide(*window, middle);
                if (!apart) {
                    window->coverage.Add(m_placed[line], -1);
                }
            }
            pieces[line] = PiecesOf(line, &nearby, &rows, apart);
            for (Window* window : {&nearby, &rows}) {
                if (!apart) {
                    window->coverage.Add(m_placed[line], 1);
                }
            }
        }
        return pieces;
    }

private:
    // Lines whose middles lie within half a line height of the first one's
    // are one row; the flags say how its ink lies about a band (LongGutter).
    struct Row {
        double middle, top, bottom;
        bool across, left, right;
    };

    // The lines whose middles lie within `lines` line heights of a middle:
    // m_middles[first..last), and the coverage of their ink.
    struct Window {
        Window(const std::vector<double>& places, double reachLines)
            : coverage(places), lines(reachLines) {}
        InkCoverage coverage;
        double lines;
        std::size_t tangled = 0;  // lines of the window with runs not Apart
        std::size_t first = 0, last = 0;
        // The lines of a region around a line but for the line itself: at
        // most one in this many of them may cross a gutter.
        int Allowed() const { return static_cast<int>(Share(last - first - 1)); }
        // The rows of m_middles[shapedFirst..shapedLast) without their flags,
        // and the row of each of those lines: the window stays put while the
        // lines of one band are taken.
        std::vector<Row> shapes;
        std::vector<std::size_t> rowOf;
        std::vector<RowInk> rowInk;
        std::size_t shapedFirst = 1, shapedLast = 0;
    };

    // Where each line is in m_middles and the lines in the order of their
    // ink's left ends, for ForEachNear; only a crowd placed in order needs it.
    void IndexCrowd() {
        m_position.resize(m_middles.size());
        for (std::size_t at = 0; at < m_middles.size(); ++at) {
            const Ink& placed = m_ink[m_middles[at].second];
            m_position[m_middles[at].second] = at;
            m_byLeft.emplace_back(placed.x.front().first, at);
            m_widest = std::max(m_widest, placed.x.back().second - placed.x.front().first);
        }
        std::sort(m_byLeft.begin(), m_byLeft.end());
    }

    // The most lines around any line, its own among them, in the widest region.
    std::size_t LargestRegion() const {
        const double reach = kGutterReach * m_lineHeight;
        std::size_t largest = 0;
        for (std::size_t first = 0, last = 0; last < m_middles.size(); ++last) {
            while (m_middles[last].first - m_middles[first].first > 2 * reach) {
                ++first;
            }
            largest = std::max(largest, last - first + 1);
        }
        return largest;
    }

    void Slide(Window& window, double middle) const {
        const double reach = window.lines * m_lineHeight;
        for (; window.last < m_middles.size() && m_middles[window.last].first <= middle + reach;
             ++window.last) {
            window.coverage.Add(m_placed[m_middles[window.last].second], 1);
            window.tangled += m_tangled[m_middles[window.last].second] ? 1 : 0;
        }
        for (; m_middles[window.first].first < middle - reach; ++window.first) {
            window.coverage.Add(m_placed[m_middles[window.first].second], -1);
            window.tangled -= m_tangled[m_middles[window.first].second] ? 1 : 0;
        }
    }

    // The pieces of one line; the windows hold the coverage around it in a
    // crowd, and are null where the regions are passed over line by line.
    std::vector<Span> PiecesOf(std::size_t line, Window* nearby, Window* rows,
                               bool counted = false) const {
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
            if (nearby == nullptr && region.empty()) {
                region = Region(line);
            }
            const Span band = nearby != nullptr ? nearby->coverage.ClearBand(gap, nearby->Allowed())
                                                : ClearBand(gap, region, Share(region.size()));
            if (band.second - band.first >= kGutterWidth * m_lineHeight &&
                (nearby == nullptr || MayHaveColumns(*nearby, band, line, 0, counted))) {
                if (nearby != nullptr) {
                    cut[k] = OnGutter(band, ink, NearBand(*nearby, line, band));
                } else {
                    if (region.empty()) {
                        region = Region(line);
                    }
                    cut[k] = OnGutter(band, ink, region);
                }
            }
            if (cut[k]) {
                continue;
            }
            if (rows == nullptr && rowRegion.empty()) {
                rowRegion = Region(line, kGutterReach);
            }
            const Span rowBand = rows != nullptr
                                     ? rows->coverage.ClearBand(gap, rows->Allowed())
                                     : ClearBand(gap, rowRegion, Share(rowRegion.size()));
            if (rowBand.second - rowBand.first >= kWideGutter * m_lineHeight &&
                (rows == nullptr || MayHaveColumns(*rows, rowBand, line, n, counted))) {
                if (rows != nullptr) {
                    cut[k] = CrowdedLongGutter(rowBand, line, *rows);
                } else {
                    if (rowRegion.empty()) {
                        rowRegion = Region(line, kGutterReach);
                    }
                    cut[k] = LongGutter(rowBand, ink, rowRegion);
                }
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

    // Calls `visit` with the place in m_middles of each line of
    // m_middles[first..last) whose ink spans reach into [from, to] (and of a
    // few more): lines side by side are passed over unless near the band.
    template <typename Visit>
    void ForEachNear(std::size_t first, std::size_t last, double from, double to,
                     Visit visit) const {
        // A span reaching `from` starts at most m_widest before it; the extra
        // pixel keeps rounding from losing one.
        auto it = std::lower_bound(m_byLeft.begin(), m_byLeft.end(),
                                   std::pair<double, std::size_t>{from - m_widest - 1.0, 0});
        for (; it != m_byLeft.end() && it->first <= to; ++it) {
            const std::size_t at = it->second;
            if (at >= first && at < last && m_ink[m_middles[at].second].x.back().second >= from) {
                visit(at);
            }
        }
    }

    // The lines of the region around `line` that OnGutter may count for the
    // band: those with ink near it; the others count for nothing.
    std::vector<const Ink*> NearBand(const Window& nearby, std::size_t line, Span band) const {
        const double reach = kBesideReach * m_lineHeight, touch = 0.05 * m_lineHeight;
        const double from = std::min(band.first - reach, band.second - touch);
        const double to = std::max(
            {band.second + reach, band.first + touch, band.second + kFlushStart * m_lineHeight});
        std::vector<const Ink*> region;
        ForEachNear(nearby.first, nearby.last, from, to, [&](std::size_t at) {
            if (m_middles[at].second != line) {
                region.push_back(&m_ink[m_middles[at].second]);
            }
        });
        return region;
    }

    // LongGutter over the window: the rows come from all its lines, and each
    // row's flags from its index of ink (RowInk), so that a row of many boxes
    // costs a few searches.
    bool CrowdedLongGutter(Span band, std::size_t line, Window& rows) const {
        if (rows.shapedFirst != rows.first || rows.shapedLast != rows.last) {
            ShapeRows(rows);
        }
        std::vector<Row> shaped = rows.shapes;
        const double touch = 0.25 * (band.second - band.first), side = kGutterSide * m_lineHeight;
        for (std::size_t r = 0; r < shaped.size(); ++r) {
            const RowInk& ink = rows.rowInk[r];
            shaped[r].across = ink.Across(band.first + touch, band.second - touch);
            shaped[r].left = ink.EndsWithin(band.first - side, band.first + touch);
            shaped[r].right = ink.StartsWithin(band.second - touch, band.second + side);
        }
        return ClearDownRows(shaped, rows.rowOf[m_position[line] - rows.first]);
    }

    // The rows of the window's lines without their flags, and each row's
    // index of the ink RowOf looks at (words and specks have none).
    void ShapeRows(Window& rows) const {
        rows.shapes.clear();
        rows.rowOf.clear();
        rows.rowInk.clear();
        for (std::size_t at = rows.first; at < rows.last; ++at) {
            const std::size_t line = m_middles[at].second;
            const Bounds& b = m_bounds[line];
            const Row shape{(b.top + b.bottom) / 2, b.top, b.bottom, false, false, false};
            AddToRows(rows.shapes, shape);
            rows.rowOf.push_back(rows.shapes.size() - 1);
            if (rows.rowInk.size() < rows.shapes.size()) {
                rows.rowInk.emplace_back();
            }
            const std::vector<Span>& x = m_ink[line].x;
            if (x.back().second - x.front().first >= kShortLine * m_lineHeight) {
                rows.rowInk.back().AddLine(x, kBesideWidth * m_lineHeight);
            }
        }
        for (RowInk& ink : rows.rowInk) {
            ink.Index();
        }
        rows.shapedFirst = rows.first;
        rows.shapedLast = rows.last;
    }

    // Whether enough runs of the window (and `ownRuns` of the line's own) end
    // before the band and start after it for OnGutter (`ownRuns` 0) or
    // LongGutter to find columns on both sides; false spares their pass over
    // the region. `counted` says whether the window's coverage holds the
    // line's own runs, which are then left out.
    bool MayHaveColumns(const Window& window, Span band, std::size_t line, std::size_t ownRuns,
                        bool counted) const {
        const InkCoverage& coverage = window.coverage;
        const Ink& own = m_ink[line];
        // The line's own runs in the coverage whose end (start) is within
        // [from, to], and for which `mark` holds.
        auto ownEnds = [&](double from, double to, auto mark) {
            int count = 0;
            for (std::size_t k = 0; counted && k < own.x.size(); ++k) {
                count += from <= own.x[k].second && own.x[k].second <= to && mark(k) ? 1 : 0;
            }
            return count;
        };
        auto ownStarts = [&](double from, double to, auto mark) {
            int count = 0;
            for (std::size_t k = 0; counted && k < own.x.size(); ++k) {
                count += from <= own.x[k].first && own.x[k].first <= to && mark(k) ? 1 : 0;
            }
            return count;
        };
        auto any = [](std::size_t) { return true; };
        if (ownRuns != 0) {
            const double touch = 0.25 * (band.second - band.first);
            const double side = kGutterSide * m_lineHeight;
            const int needed = static_cast<int>(kGutterRows) - static_cast<int>(ownRuns);
            const double endsFrom = band.first - side, endsTo = band.first + touch;
            const double startsFrom = band.second - touch, startsTo = band.second + side;
            return coverage.Ends(endsFrom, endsTo) - ownEnds(endsFrom, endsTo, any) >= needed &&
                   coverage.Starts(startsFrom, startsTo) - ownStarts(startsFrom, startsTo, any) >=
                       needed;
        }
        const double reach = kBesideReach * m_lineHeight, touch = 0.05 * m_lineHeight;
        const double flush = kFlushStart * m_lineHeight;
        const double endsFrom = band.first - reach, endsTo = band.first + touch;
        const double startsFrom = band.second - touch, startsTo = band.second + flush;
        auto needs = [&](int needed) {
            return coverage.ColumnEnds(endsFrom, endsTo) -
                           ownEnds(endsFrom, endsTo,
                                   [&](std::size_t k) { return ColumnEnd(own, k); }) >=
                       needed &&
                   coverage.ColumnStarts(startsFrom, startsTo) -
                           ownStarts(startsFrom, startsTo,
                                     [&](std::size_t k) { return ColumnStart(own, k); }) >=
                       needed;
        };
        // OnGutter counts lines, each with at least one such run on either
        // side, and needs one in kBesideShare of the lines near the band.
        // When no run of the window overlaps another of its line, the runs
        // over one stretch near the band are of as many lines near it.
        int near = 0;
        if (window.tangled == (m_tangled[line] ? 1 : 0)) {
            near = std::max(
                coverage.MostWithin(band.first - reach, band.second + reach) - (counted ? 1 : 0),
                0);
        }
        return needs(
            std::max(static_cast<int>(kBesideLines),
                     (near + static_cast<int>(kBesideShare) - 1) / static_cast<int>(kBesideShare)));
    }

    // Whether run k of a line is running text (it spans kBesideWidth line
    // heights from the line's start) that a column may end at: the blank
    // after it, if any, is wider than the line's word spaces.
    bool ColumnEnd(const Ink& ink, std::size_t k) const {
        const std::vector<Span>& x = ink.x;
        return x[k].second - x.front().first >= kBesideWidth * m_lineHeight &&
               (k + 1 == x.size() || x[k + 1].first - x[k].second >= kWiderThanSpaces * ink.spaces);
    }
    // The same for a column starting at run k.
    bool ColumnStart(const Ink& ink, std::size_t k) const {
        const std::vector<Span>& x = ink.x;
        return x.back().second - x[k].first >= kBesideWidth * m_lineHeight &&
               (k == 0 || x[k].first - x[k - 1].second >= kWiderThanSpaces * ink.spaces);
    }

    // Whether the clear band (at least kGutterWidth line heights wide) has
    // columns of running text on both sides down the region.
    bool OnGutter(Span band, const Ink& own, const std::vector<const Ink*>& region) const {
        const double reach = kBesideReach * m_lineHeight;
        const double touch = 0.05 * m_lineHeight, flush = kFlushStart * m_lineHeight;
        std::size_t left = 0, right = 0, near = 0;
        bool close = false;
        for (const Ink* ink : region) {
            near += std::any_of(ink->x.begin(), ink->x.end(), [&](const Span& r) {
                return r.second > band.first - reach && r.first < band.second + reach;
            });
            const std::vector<Span>& x = ink->x;
            bool ends = false, starts = false;
            for (std::size_t k = 0; k < x.size(); ++k) {
                ends = ends || (x[k].second <= band.first + touch &&
                                x[k].second >= band.first - reach && ColumnEnd(*ink, k));
                starts = starts || (x[k].first >= band.second - touch &&
                                    x[k].first <= band.second + flush && ColumnStart(*ink, k));
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

    // How a line's ink lies about the band: whether it runs across it, and
    // whether it is running text ending (starting) beside it.
    Row RowOf(Span band, const Ink& ink) const {
        // Ink reaching a little into the band (ClearBand lets a few lines do so)
        // is beside it; only ink over its middle half runs across it.
        const double touch = 0.25 * (band.second - band.first), side = kGutterSide * m_lineHeight;
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
            row.right = row.right || (from >= band.second - touch && from <= band.second + side &&
                                      ink.x.back().second - from >= wide);
        }
        return row;
    }

    // Adds the next line down (in the order of the middles) to its row.
    void AddToRows(std::vector<Row>& rows, const Row& line) const {
        if (rows.empty() || line.middle - rows.back().middle > 0.5 * m_lineHeight) {
            rows.push_back(line);
            return;
        }
        Row& row = rows.back();
        row = {row.middle,
               std::min(row.top, line.top),
               std::max(row.bottom, line.bottom),
               row.across || line.across,
               row.left || line.left,
               row.right || line.right};
    }

    // Whether the band stays clear down the rows around the line (its own
    // among them), with no row across it and no wide white between them, and
    // enough of those rows have ink close to it.
    bool LongGutter(Span band, const Ink& own, const std::vector<const Ink*>& region) const {
        // The region comes in the order of the middles; the line goes among
        // its equals (their order within a row does not matter).
        std::vector<Row> lines;
        lines.reserve(region.size() + 1);
        for (const Ink* ink : region) {
            lines.push_back(RowOf(band, *ink));
        }
        const Row ownRowOf = RowOf(band, own);
        const double ownMiddle = ownRowOf.middle;
        lines.insert(
            std::upper_bound(lines.begin(), lines.end(), ownMiddle,
                             [](double middle, const Row& row) { return middle < row.middle; }),
            ownRowOf);
        std::vector<Row> rows;
        std::size_t ownRow = 0;
        for (const Row& line : lines) {
            AddToRows(rows, line);
            if (line.middle == ownMiddle) {
                ownRow = rows.size() - 1;
            }
        }
        return ClearDownRows(rows, ownRow);
    }

    // The rest of LongGutter, given the rows and the line's own.
    bool ClearDownRows(const std::vector<Row>& rows, std::size_t ownRow) const {
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
    std::vector<std::size_t> m_position;        // each line's place in m_middles
    std::vector<InkCoverage::Placed> m_placed;  // each line's runs, placed in a crowd
    std::vector<bool> m_tangled;                // whether a line's runs are not Apart
    // The left ends of the lines' ink with their places in m_middles, in
    // order, and the widest span of any line's ink.
    std::vector<std::pair<double, std::size_t>> m_byLeft;
    double m_widest = 0.0;
};

}  // namespace

std::vector<std::vector<Span>> LinePieces(const std::vector<Quad>& lines,
                                          const std::vector<InkRuns>& ink, double skew) {
    return Gutters(lines, ink, skew).Pieces();
}

}  // namespace kelsor::server::layout
