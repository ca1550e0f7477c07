#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
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
        m_nodes.assign(2 * m_size, Node{});
        m_starts.assign(m_places.size() + 1, 0);
        m_ends.assign(m_places.size() + 1, 0);
        m_columnStarts.assign(m_places.size() + 1, 0);
        m_columnEnds.assign(m_places.size() + 1, 0);
    }

    // A line's run as the places of its ends, and whether a column may end
    // (start) at its end (start): a mark the caller gives.
    struct Run {
        std::size_t first, last;
        bool columnEnd = false, columnStart = false;
    };
    // A line's runs, placed once for all the times the line enters and leaves
    // a window.
    using Placed = std::vector<Run>;
    Placed Place(const std::vector<std::pair<double, double>>& runs) const {
        Placed placed;
        placed.reserve(runs.size());
        for (auto [from, to] : runs) {
            placed.push_back({Index(from), Index(to)});
        }
        return placed;
    }

    // Adds `change` over each run of `runs` (as Place gives them): a run
    // covers the stretches between its ends (one of no length covers none).
    void Add(const Placed& runs, int change) {
        for (const Run& run : runs) {
            if (run.first < run.last) {
                Add(run.first, run.last, change);
            }
            Count(m_starts, run.first, change);
            Count(m_ends, run.last, change);
            if (run.columnStart) {
                Count(m_columnStarts, run.first, change);
            }
            if (run.columnEnd) {
                Count(m_columnEnds, run.last, change);
            }
        }
    }

    // The most runs over any stretch that lies within [from, to].
    int MostWithin(double from, double to) const {
        const std::size_t first = Index(from);
        const auto past = std::upper_bound(m_places.begin(), m_places.end(), to) - m_places.begin();
        const std::size_t last = static_cast<std::size_t>(std::max<std::ptrdiff_t>(past, 1)) - 1;
        return first < last ? Most(1, 0, m_size, first, last, 0) : 0;
    }

    // How many runs start (end) within [from, to]: a column beside a band
    // needs a few, so a band at a page's margin is passed over at once.
    int Starts(double from, double to) const { return Between(m_starts, from, to); }
    int Ends(double from, double to) const { return Between(m_ends, from, to); }
    // The same for the runs marked as a column's.
    int ColumnStarts(double from, double to) const { return Between(m_columnStarts, from, to); }
    int ColumnEnds(double from, double to) const { return Between(m_columnEnds, from, to); }

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
        m_nodes[node].min += change;
        m_nodes[node].max += change;
        m_nodes[node].add += change;
    }

    // The counts of the nodes above `node`, from their children's.
    void Refresh(std::size_t node) {
        for (node /= 2; node >= 1; node /= 2) {
            const Node &left = m_nodes[2 * node], &right = m_nodes[2 * node + 1];
            m_nodes[node].min = m_nodes[node].add + std::min(left.min, right.min);
            m_nodes[node].max = m_nodes[node].add + std::max(left.max, right.max);
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
            if (m_nodes[node].max + above <= walk.allowed) {
                if (walk.start == kNone) {
                    walk.start = lo;
                }
                return;
            }
            if (m_nodes[node].min + above > walk.allowed) {
                if (walk.start != kNone) {
                    Consider(walk, lo);
                }
                return;
            }
        }
        const std::size_t mid = (lo + hi) / 2;
        const int below = above + m_nodes[node].add;
        Visit(2 * node, lo, mid, first, last, below, walk);
        Visit(2 * node + 1, mid, hi, first, last, below, walk);
    }

    // The most runs over the stretches first..last-1; `above` as for Visit.
    int Most(std::size_t node, std::size_t lo, std::size_t hi, std::size_t first, std::size_t last,
             int above) const {
        if (first <= lo && hi <= last) {
            return m_nodes[node].max + above;
        }
        const std::size_t mid = (lo + hi) / 2;
        const int below = above + m_nodes[node].add;
        int most = std::numeric_limits<int>::min();
        if (first < mid) {
            most = std::max(most, Most(2 * node, lo, mid, first, last, below));
        }
        if (mid < last) {
            most = std::max(most, Most(2 * node + 1, mid, hi, first, last, below));
        }
        return most;
    }

    std::vector<double> m_places;
    std::size_t m_size = 1;
    // The fewest and most runs over a node's stretches, and what was added
    // to the node as a whole; kept together, as they are read together.
    struct Node {
        int min = 0, max = 0, add = 0;
    };
    std::vector<Node> m_nodes;
    // Run starts and ends per place, all and a column's, as Fenwick sums.
    std::vector<int> m_starts, m_ends, m_columnStarts, m_columnEnds;
};

// The ink of one row's lines, for telling how it lies about a band without
// a pass over the lines: whether a run crosses the band, and whether a run of
// running text ends (starts) beside it.
class RowInk {
public:
    // Adds a line's runs, left to right; only a run at least `wide` from the
    // line's start (to its end) may end (start) a column.
    void AddLine(const std::vector<std::pair<double, double>>& runs, double wide) {
        for (auto [from, to] : runs) {
            m_runs.emplace_back(from, to);
            if (to - runs.front().first >= wide) {
                m_columnEnds.push_back(to);
            }
            if (runs.back().second - from >= wide) {
                m_columnStarts.push_back(from);
            }
        }
    }

    // Sorts what AddLine gathered, before any question.
    void Index() {
        std::sort(m_columnEnds.begin(), m_columnEnds.end());
        std::sort(m_columnStarts.begin(), m_columnStarts.end());
        std::sort(m_runs.begin(), m_runs.end());
        double reach = -std::numeric_limits<double>::infinity();
        for (auto [from, to] : m_runs) {
            reach = std::max(reach, to);
            m_starts.push_back(from);
            m_reach.push_back(reach);
        }
        m_runs.clear();
    }

    // Whether a run starts before `before` and ends after `after`.
    bool Across(double after, double before) const {
        const auto past = std::lower_bound(m_starts.begin(), m_starts.end(), before);
        return past != m_starts.begin() &&
               m_reach[static_cast<std::size_t>(past - m_starts.begin() - 1)] > after;
    }
    // Whether a run that may end (start) a column ends (starts) within
    // [from, to].
    bool EndsWithin(double from, double to) const { return AnyWithin(m_columnEnds, from, to); }
    bool StartsWithin(double from, double to) const { return AnyWithin(m_columnStarts, from, to); }

private:
    static bool AnyWithin(const std::vector<double>& sorted, double from, double to) {
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), from);
        return it != sorted.end() && *it <= to;
    }

    std::vector<std::pair<double, double>> m_runs;
    // The runs' starts in order, with the farthest end of any run up to each.
    std::vector<double> m_starts, m_reach;
    std::vector<double> m_columnEnds, m_columnStarts;
};

}  // namespace kelsor::server::layout
