#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <numeric>
#include <utility>
#include <vector>

// Part of the gutter search (Gutters.cpp): counts over the lines of a window
// that slides down a crowded page, without a pass over the window's lines.
namespace kelsor::server::layout {

// Points (x, y), all known beforehand, each switched on and off as its line
// enters and leaves the window, and how many of those switched on lie below
// and left of a corner: a Fenwick tree over the points in the order of x,
// each node holding its points' y in order with a Fenwick tree of its own.
// Switching a point and counting both take about log² of the points' steps.
class ActivePoints {
public:
    explicit ActivePoints(std::vector<std::pair<double, double>> points)
        : m_points(std::move(points)), m_rank(m_points.size()) {
        const std::size_t n = m_points.size();
        std::vector<std::size_t> order(n);
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return m_points[a].first < m_points[b].first;
        });
        m_xs.reserve(n);
        for (std::size_t r = 0; r < n; ++r) {
            m_rank[order[r]] = r;
            m_xs.push_back(m_points[order[r]].first);
        }
        // Node i (from 1) holds the points of ranks i - lowest bit of i .. i - 1.
        std::vector<std::size_t> sizes(n + 1, 0);
        for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t i = r + 1; i <= n; i += i & (~i + 1)) {
                ++sizes[i];
            }
        }
        m_start.assign(n + 2, 0);
        for (std::size_t i = 1; i <= n; ++i) {
            m_start[i + 1] = m_start[i] + sizes[i];
        }
        m_ys.resize(m_start[n + 1]);
        std::vector<std::size_t> filled(m_start.begin(), m_start.end() - 1);
        for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t i = r + 1; i <= n; i += i & (~i + 1)) {
                m_ys[filled[i]++] = m_points[order[r]].second;
            }
        }
        for (std::size_t i = 1; i <= n; ++i) {
            std::sort(m_ys.begin() + static_cast<std::ptrdiff_t>(m_start[i]),
                      m_ys.begin() + static_cast<std::ptrdiff_t>(m_start[i + 1]));
        }
        m_counts.assign(m_ys.size() + n + 1, 0);
    }

    // Switches point `id` on (`change` 1) or off (-1).
    void Switch(std::size_t id, int change) {
        const double y = m_points[id].second;
        for (std::size_t i = m_rank[id] + 1; i < m_start.size() - 1; i += i & (~i + 1)) {
            const std::size_t at = Position(i, y, false);
            for (std::size_t j = at + 1; j <= Size(i); j += j & (~j + 1)) {
                m_counts[Counts(i) + j] += change;
            }
        }
    }

    // How many points switched on have x below `x` (at most `x` when
    // `xToo`) and y below `y` (at most `y` when `yToo`).
    int Count(double x, bool xToo, double y, bool yToo) const {
        const auto end = xToo ? std::upper_bound(m_xs.begin(), m_xs.end(), x)
                              : std::lower_bound(m_xs.begin(), m_xs.end(), x);
        int total = 0;
        for (auto i = static_cast<std::size_t>(end - m_xs.begin()); i > 0; i -= i & (~i + 1)) {
            for (std::size_t j = Position(i, y, yToo); j > 0; j -= j & (~j + 1)) {
                total += m_counts[Counts(i) + j];
            }
        }
        return total;
    }

private:
    std::size_t Size(std::size_t node) const { return m_start[node + 1] - m_start[node]; }
    // Where node's inner Fenwick sums begin (each has one slot more than its
    // points, as they count from 1).
    std::size_t Counts(std::size_t node) const { return m_start[node] + node - 1; }
    // How many of node's y are below `y` (at most `y` when `yToo`).
    std::size_t Position(std::size_t node, double y, bool yToo) const {
        const auto first = m_ys.begin() + static_cast<std::ptrdiff_t>(m_start[node]);
        const auto last = m_ys.begin() + static_cast<std::ptrdiff_t>(m_start[node + 1]);
        return static_cast<std::size_t>(
            (yToo ? std::upper_bound(first, last, y) : std::lower_bound(first, last, y)) - first);
    }

    std::vector<std::pair<double, double>> m_points;
    std::vector<std::size_t> m_rank;   // each point's place in the order of x
    std::vector<double> m_xs;          // the points' x in order
    std::vector<std::size_t> m_start;  // where each node's y begin in m_ys
    std::vector<double> m_ys;
    std::vector<int> m_counts;
};

// The lines of a window with ink near a band: how many have a run reaching
// into a stretch, and how many a run of a column ending (starting) within
// one, each line counted once however many of its runs do.
class LinesBeside {
public:
    // Line i's runs `runs[i]` (in the order of their starts, none reversed),
    // and the ends (starts) of those of its runs a column may end (start) at.
    LinesBeside(const std::vector<std::vector<std::pair<double, double>>>& runs,
                const std::vector<std::vector<double>>& ends,
                const std::vector<std::vector<double>>& starts)
        : m_blanks(Blanks(runs, m_blankFrom)),
          m_ends(Firsts(ends, m_endFrom)),
          m_starts(Firsts(starts, m_startFrom)) {}

    // Adds line `line` to the lines counted (`change` 1) or takes it away (-1).
    void Switch(std::size_t line, int change) {
        m_on += change;
        for (auto [points, from] :
             {std::pair{&m_blanks, &m_blankFrom}, std::pair{&m_ends, &m_endFrom},
              std::pair{&m_starts, &m_startFrom}}) {
            for (std::size_t id = (*from)[line]; id < (*from)[line + 1]; ++id) {
                points->Switch(id, change);
            }
        }
    }

    // The lines with a run that ends after `after` and starts before
    // `before` (`after` below `before`): all but those with a blank (or the
    // white beyond their ends) over the whole of [after, before].
    int Reaching(double after, double before) const {
        const double all = std::numeric_limits<double>::infinity();
        return m_on - (m_blanks.Count(after, true, all, true) -
                       m_blanks.Count(after, true, before, false));
    }
    // The lines with a column's run ending (starting) within [from, to].
    int Ending(double from, double to) const { return Within(m_ends, from, to); }
    int Starting(double from, double to) const { return Within(m_starts, from, to); }

private:
    // A line has a place within [from, to] when exactly one of its places
    // there has the one before it (x: the place, y: the one before) below `from`.
    static int Within(const ActivePoints& points, double from, double to) {
        return points.Count(to, true, from, false) - points.Count(from, false, from, false);
    }

    // Each line's places in order, each with the one before it.
    static ActivePoints Firsts(const std::vector<std::vector<double>>& places,
                               std::vector<std::size_t>& from) {
        std::vector<std::pair<double, double>> points;
        from.push_back(0);
        for (std::vector<double> line : places) {
            std::sort(line.begin(), line.end());
            for (std::size_t k = 0; k < line.size(); ++k) {
                points.emplace_back(
                    line[k], k == 0 ? -std::numeric_limits<double>::infinity() : line[k - 1]);
            }
            from.push_back(points.size());
        }
        return ActivePoints(std::move(points));
    }

    // Each line's blanks between the stretches its runs cover together, and
    // the white before and after them: (where a blank starts, where it ends).
    static ActivePoints Blanks(const std::vector<std::vector<std::pair<double, double>>>& runs,
                               std::vector<std::size_t>& from) {
        const double all = std::numeric_limits<double>::infinity();
        std::vector<std::pair<double, double>> points;
        from.push_back(0);
        for (const auto& line : runs) {
            double blank = -all;
            for (std::size_t k = 0; k < line.size();) {
                const double start = line[k].first;
                double end = line[k].second;
                for (++k; k < line.size() && line[k].first <= end; ++k) {
                    end = std::max(end, line[k].second);
                }
                points.emplace_back(blank, start);
                blank = end;
            }
            points.emplace_back(blank, all);
            from.push_back(points.size());
        }
        return ActivePoints(std::move(points));
    }

    // Where each line's points begin in each set.
    std::vector<std::size_t> m_blankFrom, m_endFrom, m_startFrom;
    ActivePoints m_blanks, m_ends, m_starts;
    int m_on = 0;
};

}  // namespace kelsor::server::layout
