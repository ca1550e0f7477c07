#pragma once

#include "server/layout/Gutters.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

// Part of the gutter search (Gutters.cpp): the measures it goes by, a line's
// ink in page x, and the clear band through the ink of a few lines.
namespace kelsor::server::layout::gutters {

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
// (boxes stacked over one row) the coverage of their ink is kept in a tree,
// and the lines beside a band are counted in trees too (LinesBeside).
constexpr std::size_t kCrowdedRegion = 96;

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
inline double MedianBlank(const std::vector<Span>& runs) {
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

inline Ink InkOf(const Bounds& b, const InkRuns* given) {
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

// The widest part of `gap` where the ink of at most `allowed` of `others`
// lies at any one place.
inline Span ClearBand(Span gap, const std::vector<const Ink*>& others, std::size_t allowed) {
    std::vector<std::pair<double, int>> edges;
    for (const Ink* ink : others) {
        for (auto [from, to] : ink->x) {
            const double lo = std::max(from, gap.first), hi = std::min(to, gap.second);
            if (lo < hi) {
                edges.emplace_back(lo, 1);
                edges.emplace_back(hi, -1);
            }
        }
    }
    // Ends sort before starts at the same place: touching ink does not cover.
    std::sort(edges.begin(), edges.end());
    Span best{gap.first, gap.first};
    double from = gap.first;
    std::size_t covering = 0;
    auto consider = [&](double to) {
        if (to - from > best.second - best.first) {
            best = {from, to};
        }
    };
    for (auto [at, change] : edges) {
        const std::size_t next = change > 0 ? covering + 1 : covering - 1;
        if (covering <= allowed && next > allowed) {
            consider(at);
        } else if (covering > allowed && next <= allowed) {
            from = at;
        }
        covering = next;
    }
    if (covering <= allowed) {
        consider(gap.second);
    }
    return best;
}

// Whether each run of `runs` ends before the next one starts.
inline bool Apart(const std::vector<Span>& runs) {
    for (std::size_t k = 0; k < runs.size(); ++k) {
        if (runs[k].first > runs[k].second ||
            (k + 1 < runs.size() && runs[k].second > runs[k + 1].first)) {
            return false;
        }
    }
    return true;
}

}  // namespace kelsor::server::layout::gutters
