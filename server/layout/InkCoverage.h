#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// Part of the gutter search (Gutters.cpp): the coverage of the ink of the
// lines around a line, kept up to date as the lines are taken down the page.
namespace kelsor::server::layout {

// How many runs of ink cover each stretch between consecutive places of
// `places` (every end of every run the page holds, and the ends of the gaps
// looked at), for the lines of a window that slides down the page: a line's
// runs are added as the window reaches it and taken away as it leaves. A
// region of many lines (boxes stacked in a row) then costs a few steps per
// gap instead of a pass over every run of the region.
class InkCoverage {
public:
    explicit InkCoverage(std::vector<double> places) : m_places(std::move(places)) {
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
    void Add(const std::vector<std::pair<double, double>>& runs, int change) {
        for (auto [from, to] : runs) {
            const std::size_t first = Index(from), last = Index(to);
            if (first < last) {
                Add(first, last, change);
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
    std::pair<double, double> ClearBand(std::pair<double, double> gap, int allowed) const {
        Walk walk{allowed, Index(gap.first), {gap.first, gap.first}, kNone};
        const std::size_t last = Index(gap.second);
        if (walk.from < last) {
            Visit(1, 0, m_size, walk.from, last, 0, walk);
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
        std::pair<double, double> best;
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

    // Adds `change` over the stretches first..last-1: to the fewest nodes
    // that make them up, then anew to the smallest and largest counts of the
    // nodes above those. A node's counts leave out what was added to the
    // nodes above it, so nothing is handed down.
    void Add(std::size_t first, std::size_t last, int change) {
        std::size_t lo = first + m_size, hi = last + m_size;
        const std::size_t left = lo, right = hi - 1;
        for (; lo < hi; lo /= 2, hi /= 2) {
            if (lo % 2 == 1) {
                AddTo(lo++, change);
            }
            if (hi % 2 == 1) {
                AddTo(--hi, change);
            }
        }
        Refresh(left);
        Refresh(right);
    }

    void AddTo(std::size_t node, int change) {
        m_min[node] += change;
        m_max[node] += change;
        m_add[node] += change;
    }

    // The counts of the nodes above `node`, from their children's.
    void Refresh(std::size_t node) {
        for (node /= 2; node >= 1; node /= 2) {
            m_min[node] = m_add[node] + std::min(m_min[2 * node], m_min[2 * node + 1]);
            m_max[node] = m_add[node] + std::max(m_max[2 * node], m_max[2 * node + 1]);
        }
    }

    void Consider(Walk& walk, std::size_t end) const {
        const double from = m_places[walk.start];
        if (m_places[end] - from > walk.best.second - walk.best.first) {
            walk.best = {from, m_places[end]};
        }
        walk.start = kNone;
    }

    // The stretches first..last-1 in order, whole nodes at a time where they
    // are all clear or all covered; `above` is what was added to the nodes
    // above `node`.
    void Visit(std::size_t node, std::size_t lo, std::size_t hi, std::size_t first,
               std::size_t last, int above, Walk& walk) const {
        if (last <= lo || hi <= first) {
            return;
        }
        if (first <= lo && hi <= last) {
            if (m_max[node] + above <= walk.allowed) {
                if (walk.start == kNone) {
                    walk.start = lo;
                }
                return;
            }
            if (m_min[node] + above > walk.allowed) {
                if (walk.start != kNone) {
                    Consider(walk, lo);
                }
                return;
            }
        }
        const std::size_t mid = (lo + hi) / 2;
        Visit(2 * node, lo, mid, first, last, above + m_add[node], walk);
        Visit(2 * node + 1, mid, hi, first, last, above + m_add[node], walk);
    }

    std::vector<double> m_places;
    std::size_t m_size = 1;
    std::vector<int> m_min, m_max, m_add;
    std::vector<int> m_starts, m_ends;  // run starts and ends per place, as Fenwick sums
};

}  // namespace kelsor::server::layout
