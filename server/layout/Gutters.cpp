#include "server/layout/Gutters.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kelsor::server::layout {
namespace {

// A blank stretch is a gutter's when at least this many line heights wide:
// wider than any word space, narrower than a gutter of one em (a box is 1.2
// to 1.4 em high).
constexpr double kGutterWidth = 0.6;
// The lines whose middles lie within this many line heights of a line's
// middle are the region the gutter must run down.
constexpr double kRegionReach = 8.0;
// One line in this many of the region may cross the band (a heading, a
// caption, a speck in the gutter).
constexpr std::size_t kCrossingShare = 8;
// A column beside the gutter: at least this many lines of the region whose
// ink reaches to within kBesideReach line heights of the band, each with at
// least kBesideWidth line heights of ink there (running text, not a table's
// narrow cells nor page numbers).
constexpr std::size_t kBesideLines = 2;
constexpr double kBesideReach = 6.0;
constexpr double kBesideWidth = 4.0;

// A line's ink: fractions of its length, sorted and clamped, and the same in
// straightened page x.
struct Ink {
    InkRuns fractions;
    std::vector<Span> x;
};

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
    return ink;
}

// The widest part of `gap` that the ink of at most `allowed` of `others`
// covers.
Span ClearBand(Span gap, const std::vector<const Ink*>& others, std::size_t allowed) {
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
        if (covering <= allowed && to - from > best.second - best.first) {
            best = {from, to};
        }
    };
    for (auto [at, change] : edges) {
        consider(at);
        covering = change > 0 ? covering + 1 : covering - 1;
        from = at;
    }
    consider(gap.second);
    return best;
}

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
        std::vector<std::vector<Span>> pieces;
        pieces.reserve(m_ink.size());
        for (std::size_t i = 0; i < m_ink.size(); ++i) {
            pieces.push_back(PiecesOf(i));
        }
        return pieces;
    }

private:
    std::vector<Span> PiecesOf(std::size_t line) const {
        const Ink& ink = m_ink[line];
        const InkRuns& runs = ink.fractions;
        std::vector<const Ink*> region;
        std::vector<Span> pieces;
        double start = 0.0;
        for (std::size_t k = 0; k + 1 < runs.size(); ++k) {
            const Span gap{ink.x[k].second, ink.x[k + 1].first};
            if (gap.second - gap.first < kGutterWidth * m_lineHeight) {
                continue;
            }
            if (region.empty()) {
                region = Region(line);
            }
            if (!OnGutter(gap, region)) {
                continue;
            }
            // The white a box has beyond its ink, from the line's own ends.
            const double half = (runs[k + 1].first - runs[k].second) / 2;
            pieces.emplace_back(start, runs[k].second + std::min(1.0 - runs.back().second, half));
            start = runs[k + 1].first - std::min(runs.front().first, half);
        }
        pieces.emplace_back(start, 1.0);
        return pieces;
    }

    // The other lines whose middles are near the line's.
    std::vector<const Ink*> Region(std::size_t line) const {
        const double middle = (m_bounds[line].top + m_bounds[line].bottom) / 2;
        const double reach = kRegionReach * m_lineHeight;
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

    bool OnGutter(Span gap, const std::vector<const Ink*>& region) const {
        const Span band = ClearBand(gap, region, region.size() / kCrossingShare);
        if (band.second - band.first < kGutterWidth * m_lineHeight) {
            return false;
        }
        const double reach = kBesideReach * m_lineHeight, wide = kBesideWidth * m_lineHeight;
        const double touch = 0.05 * m_lineHeight;
        std::size_t left = 0, right = 0;
        for (const Ink* ink : region) {
            const bool endsBefore = std::any_of(ink->x.begin(), ink->x.end(), [&](const Span& r) {
                return r.second <= band.first + touch && r.second >= band.first - reach &&
                       r.second - r.first >= wide;
            });
            const bool startsAfter = std::any_of(ink->x.begin(), ink->x.end(), [&](const Span& r) {
                return r.first >= band.second - touch && r.first <= band.second + reach &&
                       r.second - r.first >= wide;
            });
            left += endsBefore ? 1 : 0;
            right += startsAfter ? 1 : 0;
        }
        return left >= kBesideLines && right >= kBesideLines;
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
