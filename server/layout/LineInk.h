#pragma once

#include "server/layout/Gutters.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

// Part of the gutter search (Gutters.cpp): a line's ink in page x, and the
// clear band through the ink of a few lines.
namespace kelsor::server::layout::gutters {

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
