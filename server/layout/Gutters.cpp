#include "server/layout/Gutters.h"

#include "server/layout/ActivePoints.h"
#include "server/layout/InkCoverage.h"
#include "server/layout/LineInk.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>
#include <optional>

namespace kelsor::server::layout {
namespace {

using namespace gutters;

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
        int tangled = 0;                    // lines of the window with runs not Apart
        std::optional<LinesBeside> beside;  // see Count
        bool besideTried = false;
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

    // Where each line is in m_middles, and the greatest height of a line;
    // only a crowd placed in order needs them.
    void IndexCrowd() {
        m_position.resize(m_middles.size());
        for (std::size_t at = 0; at < m_middles.size(); ++at) {
            const Ink& placed = m_ink[m_middles[at].second];
            m_position[m_middles[at].second] = at;
            m_tallest = std::max(m_tallest, placed.bottom - placed.top);
        }
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
        auto change = [&](std::size_t at, int by) {
            const std::size_t line = m_middles[at].second;
            window.coverage.Add(m_placed[line], by);
            window.tangled += m_tangled[line] ? by : 0;
            if (window.beside) {
                window.beside->Switch(line, by);
            }
        };
        for (; window.last < m_middles.size() && m_middles[window.last].first <= middle + reach;
             ++window.last) {
            change(window.last, 1);
        }
        for (; m_middles[window.first].first < middle - reach; ++window.first) {
            change(window.first, -1);
        }
    }

    // Whether the window's lines beside a band are counted by a LinesBeside,
    // made the first time the window holds a crowd: not when some line's
    // runs are reversed, which a line's blanks cannot stand for.
    bool Count(Window& window) const {
        if (!window.beside && !window.besideTried && window.last - window.first > kCrowdedRegion) {
            window.besideTried = true;
            std::vector<std::vector<Span>> runs;
            std::vector<std::vector<double>> ends(m_ink.size()), starts(m_ink.size());
            for (std::size_t line = 0; line < m_ink.size(); ++line) {
                const Ink& ink = m_ink[line];
                for (std::size_t k = 0; k < ink.x.size(); ++k) {
                    if (ink.x[k].first > ink.x[k].second) {
                        return false;
                    }
                    if (ColumnEnd(ink, k)) {
                        ends[line].push_back(ink.x[k].second);
                    }
                    if (ColumnStart(ink, k)) {
                        starts[line].push_back(ink.x[k].first);
                    }
                }
                runs.push_back(ink.x);
            }
            window.beside.emplace(runs, ends, starts);
            for (std::size_t at = window.first; at < window.last; ++at) {
                window.beside->Switch(m_middles[at].second, 1);
            }
        }
        return window.beside.has_value();
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
                    cut[k] = Count(*nearby) ? CrowdedOnGutter(band, line, *nearby)
                                            : OnGutter(band, ink, WindowLines(*nearby, line));
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

    // The lines of the window but the line itself.
    std::vector<const Ink*> WindowLines(const Window& window, std::size_t line) const {
        std::vector<const Ink*> lines;
        for (std::size_t at = window.first; at < window.last; ++at) {
            if (m_middles[at].second != line) {
                lines.push_back(&m_ink[m_middles[at].second]);
            }
        }
        return lines;
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
        std::size_t left = 0, right = 0, near = 0;
        bool close = false;
        for (const Ink* ink : region) {
            const Beside beside = BesideOf(band, *ink);
            near += beside.near ? 1 : 0;
            left += beside.ends ? 1 : 0;
            right += beside.starts ? 1 : 0;
            close = close || ((beside.ends || beside.starts) && Close(*ink, own));
        }
        const std::size_t needed = std::max(kBesideLines, (near + kBesideShare - 1) / kBesideShare);
        return close && left >= needed && right >= needed;
    }

    // OnGutter over the window, its lines counted by its LinesBeside, and
    // the lines around the line's own looked at only until one is close.
    bool CrowdedOnGutter(Span band, std::size_t line, const Window& nearby) const {
        const double reach = kBesideReach * m_lineHeight;
        const double touch = 0.05 * m_lineHeight, flush = kFlushStart * m_lineHeight;
        const Ink& own = m_ink[line];
        const Beside mine = BesideOf(band, own);  // counted too, as in the window
        const int near =
            nearby.beside->Reaching(band.first - reach, band.second + reach) - (mine.near ? 1 : 0);
        const int left =
            nearby.beside->Ending(band.first - reach, band.first + touch) - (mine.ends ? 1 : 0);
        const int right = nearby.beside->Starting(band.second - touch, band.second + flush) -
                          (mine.starts ? 1 : 0);
        const int needed =
            std::max(static_cast<int>(kBesideLines),
                     (near + static_cast<int>(kBesideShare) - 1) / static_cast<int>(kBesideShare));
        if (left < needed || right < needed) {
            return false;
        }
        // A line close to the own one has its middle within this of it (the
        // extra pixel keeps rounding from losing one).
        const double apart = kCloseWhite * m_lineHeight + m_tallest / 2 + 1.0;
        auto closeBeside = [&](std::size_t at) {
            const Ink& ink = m_ink[m_middles[at].second];
            const Beside beside = BesideOf(band, ink);
            return (beside.ends || beside.starts) && Close(ink, own);
        };
        const std::size_t at = m_position[line];
        for (std::size_t up = at; up > nearby.first && m_middles[up - 1].first > own.top - apart;
             --up) {
            if (closeBeside(up - 1)) {
                return true;
            }
        }
        for (std::size_t down = at + 1;
             down < nearby.last && m_middles[down].first < own.bottom + apart; ++down) {
            if (closeBeside(down)) {
                return true;
            }
        }
        return false;
    }

    // How a line's ink lies about a band for OnGutter: whether it comes near
    // the band, and whether a run of a column ends (starts) beside it.
    struct Beside {
        bool near = false, ends = false, starts = false;
    };
    Beside BesideOf(Span band, const Ink& ink) const {
        const double reach = kBesideReach * m_lineHeight;
        const double touch = 0.05 * m_lineHeight, flush = kFlushStart * m_lineHeight;
        const std::vector<Span>& x = ink.x;
        Beside beside;
        for (std::size_t k = 0; k < x.size(); ++k) {
            beside.near = beside.near ||
                          (x[k].second > band.first - reach && x[k].first < band.second + reach);
            beside.ends = beside.ends || (x[k].second <= band.first + touch &&
                                          x[k].second >= band.first - reach && ColumnEnd(ink, k));
            beside.starts =
                beside.starts || (x[k].first >= band.second - touch &&
                                  x[k].first <= band.second + flush && ColumnStart(ink, k));
        }
        return beside;
    }

    // Whether less than kCloseWhite line heights of white lie between the lines.
    bool Close(const Ink& ink, const Ink& own) const {
        return std::max(ink.top - own.bottom, own.top - ink.bottom) < kCloseWhite * m_lineHeight;
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
    double m_tallest = 0.0;                     // the greatest height of a line
};

}  // namespace

std::vector<std::vector<Span>> LinePieces(const std::vector<Quad>& lines,
                                          const std::vector<InkRuns>& ink, double skew) {
    return Gutters(lines, ink, skew).Pieces();
}

}  // namespace kelsor::server::layout
