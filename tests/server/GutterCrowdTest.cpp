// The gutter search over crowded regions: hundreds of boxes stacked over one
// row, as a detector gives for a page of overprinted or repeated text. Their
// blanks are cut where they line up into a gutter and nowhere else, and
// boxes alike get alike pieces.
#include "server/layout/Gutters.h"

#include <gtest/gtest.h>

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

TEST(GutterCrowd, StackedLinesAreCutWhereTheirBlanksLineUpAndNowhereElse) {
    for (const Crowd& crowd : {TwoColumnStack(false), TwoColumnStack(true),
                               BesideARowOfCells(TwoColumnStack(false)), ScatteredStack()}) {
        SCOPED_TRACE(crowd.what);
        const auto pieces = LinePieces(crowd.lines, crowd.ink, 0.0);
        ASSERT_EQ(pieces.size(), crowd.lines.size());
        int cutInTwo = 0, whole = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            whole += pieces[i] == std::vector<Span>{{0.0, 1.0}} ? 1 : 0;
            if (pieces[i].size() == 2) {
                // The cut lies in the gutter, in page x.
                const double left = crowd.lines[i][0].x, w = crowd.lines[i][1].x - left;
                const double from = left + pieces[i][0].second * w,
                             to = left + pieces[i][1].first * w;
                cutInTwo += from >= 495 && to <= 545 && from < to ? 1 : 0;
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
