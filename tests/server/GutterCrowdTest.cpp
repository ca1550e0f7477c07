// The gutter search over crowded regions: hundreds of boxes stacked over one
// row, as a detector gives for a page of overprinted or repeated text. Their
// blanks are cut where they line up into a gutter and nowhere else, and
// boxes alike get alike pieces.
#include "server/layout/ActivePoints.h"
#include "server/layout/Gutters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace kelsor::server::layout;

namespace {

constexpr int kStacked = 600;
constexpr double kLineHeight = 30.0;

Quad Box(double x, double y, double w) {
    return {{{x, y}, {x + w, y}, {x + w, y + kLineHeight}, {x, y + kLineHeight}}};
}

struct Crowd {
    const char* what;
    std::vector<Quad> lines;
    std::vector<InkRuns> ink;
    bool cut;       // every line cut in two at the page's gutter (x 495 to 545); else none cut
    bool alike;     // the lines are copies of one another
    int cells = 0;  // lines after the stacked ones: narrow cells, all kept whole
};

// Two columns of running text merged into one box per line, the gutter
// between them at the same place in every line.
Crowd TwoColumnStack(bool alike) {
    Crowd crowd{alike ? "alike two-column lines stacked" : "two-column lines stacked, jittered",
                {},
                {},
                true,
                alike};
    std::mt19937 random(7);
    for (int i = 0; i < kStacked; ++i) {
        // The boxes' ends vary by less than a loose end; the words are set
        // at the same places in every line.
        const double y = 100 + (alike ? 0 : random() % 9);
        const double left = 100 - (alike ? 0 : random() % 3),
                     right = 900 + (alike ? 0 : random() % 3);
        const double w = right - left;
        InkRuns runs;
        for (double at = 100; at < 480; at += 60) {
            runs.push_back({(at - left) / w, (std::min(at + 50, 495.0) - left) / w});
        }
        for (double at = 545; at < 900; at += 60) {
            runs.push_back({(at - left) / w, (std::min(at + 50, 900.0) - left) / w});
        }
        crowd.lines.push_back(Box(left, y, w));
        crowd.ink.push_back(runs);
    }
    return crowd;
}

// The stacked lines with a row of narrow cells side by side in the same band
// far to their right: every cell is in every line's region, but only ink
// near a blank bears on it.
Crowd BesideARowOfCells(Crowd crowd) {
    crowd.what = "two-column lines stacked beside a row of cells";
    std::mt19937 random(11);
    for (crowd.cells = 0; crowd.cells < kStacked; ++crowd.cells) {
        const double left = 2000 + 90.0 * crowd.cells + random() % 5, w = 65 + random() % 15;
        InkRuns runs;
        for (double at = 0.02 + 0.02 * (random() % 3); at < 0.9;) {
            const double length = 0.15 + 0.02 * (random() % 10);
            runs.push_back({at, std::min(at + length, 0.95)});
            at += length + 0.02 * (random() % 6);
        }
        crowd.lines.push_back(Box(left, 100 + random() % 9, w));
        crowd.ink.push_back(runs);
    }
    return crowd;
}

// Lines of words whose blanks fall anywhere: no gutter runs down them.
Crowd ScatteredStack() {
    Crowd crowd{"lines of scattered words stacked", {}, {}, false, false};
    std::mt19937 random(9);
    for (int i = 0; i < kStacked; ++i) {
        const double left = 100 + random() % 200, w = 1200 + random() % 300;
        InkRuns runs;
        for (double at = 0.01 * (random() % 5); at < 0.95;) {
            const double length = 0.05 + 0.01 * (random() % 30);
            runs.push_back({at, std::min(at + length, 1.0)});
            at += length + 0.01 * (random() % 10);
        }
        crowd.lines.push_back(Box(left, 100 + random() % 20, w));
        crowd.ink.push_back(runs);
    }
    return crowd;
}

// The stacked lines with a word inside another in every seventh line, as a
// detector may give for a struck-through word: their runs overlap.
Crowd WithOverlappingWords(Crowd crowd) {
    crowd.what = "two-column lines stacked, some with overlapping words";
    for (std::size_t i = 0; i < crowd.ink.size(); i += 7) {
        crowd.ink[i].push_back({0.25, 0.27});
    }
    return crowd;
}

// Rows of two-column lines, many boxes to a row, whose right column starts
// ragged by up to four line heights: no flush edge shows, so only the long
// band clear down the rows tells the gutter.
Crowd RaggedColumnRows() {
    Crowd crowd{"rows of ragged two-column lines", {}, {}, true, false};
    std::mt19937 random(13);
    for (int i = 0; i < kStacked; ++i) {
        const double y = 100 + 36.0 * (i % 12) + random() % 5, left = 100, w = 800;
        const double leftEnd = 495.0 - random() % 40, rightStart = 545.0 + random() % 120;
        InkRuns runs;
        for (double at = left; at < leftEnd; at += 60) {
            runs.push_back({(at - left) / w, (std::min(at + 50, leftEnd) - left) / w});
        }
        for (double at = rightStart; at < 900; at += 60) {
            runs.push_back({(at - left) / w, (std::min(at + 50, 900.0) - left) / w});
        }
        crowd.lines.push_back(Box(left, y, w));
        crowd.ink.push_back(runs);
    }
    return crowd;
}

TEST(GutterCrowd, StackedLinesAreCutWhereTheirBlanksLineUpAndNowhereElse) {
    for (const Crowd& crowd :
         {TwoColumnStack(false), TwoColumnStack(true), BesideARowOfCells(TwoColumnStack(false)),
          ScatteredStack(), WithOverlappingWords(TwoColumnStack(false)), RaggedColumnRows()}) {
        SCOPED_TRACE(crowd.what);
        const auto pieces = LinePieces(crowd.lines, crowd.ink, 0.0);
        ASSERT_EQ(pieces.size(), crowd.lines.size());
        int cutInTwo = 0, whole = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            whole += pieces[i] == std::vector<Span>{{0.0, 1.0}} ? 1 : 0;
            if (pieces[i].size() == 2) {
                // The cut lies in the line's own blank at the gutter (x 495 to
                // 545 where the columns are flush), in page x.
                const double left = crowd.lines[i][0].x, w = crowd.lines[i][1].x - left;
                const double from = left + pieces[i][0].second * w,
                             to = left + pieces[i][1].first * w;
                double blankFrom = left, blankTo = left + w;
                for (auto [start, end] : crowd.ink[i]) {
                    if (left + end * w <= 520) {
                        blankFrom = std::max(blankFrom, left + end * w);
                    } else if (left + start * w >= 520) {
                        blankTo = std::min(blankTo, left + start * w);
                    }
                }
                cutInTwo += from >= blankFrom && to <= blankTo && from < to && blankFrom <= 495 &&
                                    blankTo >= 545
                                ? 1
                                : 0;
            }
            if (crowd.alike && i < kStacked) {
                EXPECT_EQ(pieces[i], pieces[0]) << "line " << i;
            }
        }
        EXPECT_EQ(cutInTwo, crowd.cut ? kStacked : 0);
        EXPECT_EQ(whole, (crowd.cut ? 0 : kStacked) + crowd.cells);
    }
}

}  // namespace

namespace {

// Random lines of runs in the order of their starts, some overlapping, some
// of no length, some sharing places; about half of the runs' ends (starts)
// are a column's.
struct RandomLines {
    std::vector<std::vector<std::pair<double, double>>> runs;
    std::vector<std::vector<double>> ends, starts;
};

RandomLines MakeRandomLines(unsigned seed, int count) {
    RandomLines lines;
    std::mt19937 random(seed);
    for (int i = 0; i < count; ++i) {
        std::vector<std::pair<double, double>> runs;
        for (double at = random() % 40; at < 400; at += random() % 30) {
            runs.emplace_back(at, at + random() % 45);
        }
        std::sort(runs.begin(), runs.end());
        lines.runs.push_back(runs);
        lines.ends.emplace_back();
        lines.starts.emplace_back();
        for (auto [from, to] : runs) {
            if (random() % 2 == 0) {
                lines.ends.back().push_back(to);
            }
            if (random() % 2 == 0) {
                lines.starts.back().push_back(from);
            }
        }
    }
    return lines;
}

}  // namespace

// The counts over a sliding window agree with a pass over its lines, for
// stretches anywhere, their ends on runs' places or not.
TEST(GutterCrowd, LinesBesideCountsEachLineOnceAsTheWindowSlides) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const RandomLines lines = MakeRandomLines(seed, 150);
        LinesBeside beside(lines.runs, lines.ends, lines.starts);
        std::mt19937 random(seed + 100);
        constexpr std::size_t kWindow = 40;
        for (std::size_t last = 0; last < lines.runs.size(); ++last) {
            beside.Switch(last, 1);
            if (last >= kWindow) {
                beside.Switch(last - kWindow, -1);
            }
            const std::size_t first = last >= kWindow ? last - kWindow + 1 : 0;
            for (int query = 0; query < 5; ++query) {
                const double from = random() % 420 + (query % 2 == 0 ? 0.5 : 0.0);
                const double to = from + 1 + random() % 60;
                int reaching = 0, ending = 0, starting = 0;
                for (std::size_t line = first; line <= last; ++line) {
                    const auto& runs = lines.runs[line];
                    reaching += std::any_of(runs.begin(), runs.end(), [&](auto run) {
                        return run.second > from && run.first < to;
                    });
                    auto within = [&](const std::vector<double>& places) {
                        return std::any_of(places.begin(), places.end(),
                                           [&](double x) { return from <= x && x <= to; });
                    };
                    ending += within(lines.ends[line]);
                    starting += within(lines.starts[line]);
                }
                EXPECT_EQ(beside.Reaching(from, to), reaching) << from << " " << to;
                EXPECT_EQ(beside.Ending(from, to), ending) << from << " " << to;
                EXPECT_EQ(beside.Starting(from, to), starting) << from << " " << to;
            }
        }
    }
}
