#include "server/layout/Gutters.h"
#include "server/layout/ReadingOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace kelsor::server::layout;

namespace {

constexpr double kCell = 20.0;   // width of one character of a drawing
constexpr double kPitch = 30.0;  // from one drawn row to the next
constexpr double kHeight = 20.0;

Quad Box(double x, double y, double w, double h) {
    return {{{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}};
}

// A page drawn in characters: each run of one letter is a line box named by
// that letter, each drawn row a text row. The page is turned by `degrees`
// about its middle, as a skewed scan is.
struct Drawn {
    std::vector<Quad> lines;
    std::string names;
};

Drawn Draw(const std::vector<std::string>& rows, double degrees = 0.0) {
    Drawn page;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string& row = rows[r];
        for (std::size_t c = 0; c < row.size();) {
            std::size_t end = c;
            while (end < row.size() && row[end] == row[c]) {
                ++end;
            }
            if (row[c] != ' ') {
                page.lines.push_back(Box(c * kCell, r * kPitch, (end - c) * kCell, kHeight));
                page.names += row[c];
            }
            c = end;
        }
    }
    const double a = degrees * M_PI / 180.0, cx = 400.0, cy = rows.size() * kPitch / 2;
    for (Quad& q : page.lines) {
        for (Point& p : q) {
            p = {cx + (p.x - cx) * std::cos(a) - (p.y - cy) * std::sin(a),
                 cy + (p.x - cx) * std::sin(a) + (p.y - cy) * std::cos(a)};
        }
    }
    return page;
}

// As Draw, but a letter's box goes on over blanks drawn as '_' (and the same
// letter after them): one box that the detector ran across them, its ink the
// letter's stretches.
Drawn DrawInk(const std::vector<std::string>& rows, std::vector<InkRuns>& ink,
              double degrees = 0.0) {
    std::vector<std::string> boxes = rows;
    ink.clear();
    for (std::string& row : boxes) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (row[c] == ' ' || row[c] == '_' || (c > 0 && row[c - 1] == row[c])) {
                continue;
            }
            std::size_t end = c;
            while (end < row.size() && (row[end] == row[c] || row[end] == '_')) {
                ++end;
            }
            InkRuns& runs = ink.emplace_back();
            for (std::size_t k = c; k < end; ++k) {
                const double at = static_cast<double>(k - c) / static_cast<double>(end - c);
                if (row[k] != row[c]) {
                    continue;
                }
                if (runs.empty() || runs.back().second < at) {
                    runs.emplace_back(at, at);
                }
                runs.back().second = static_cast<double>(k + 1 - c) / static_cast<double>(end - c);
            }
            std::fill(row.begin() + static_cast<std::ptrdiff_t>(c),
                      row.begin() + static_cast<std::ptrdiff_t>(end), row[c]);
        }
    }
    return Draw(boxes, degrees);
}

std::string Named(const Drawn& page, const std::vector<std::size_t>& order) {
    std::string names;
    for (std::size_t i : order) {
        names += page.names[i];
    }
    return names;
}

// Every index exactly once.
bool IsPermutation(std::vector<std::size_t> order, std::size_t count) {
    std::sort(order.begin(), order.end());
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] != i) {
            return false;
        }
    }
    return order.size() == count;
}

struct LayoutCase {
    const char* what;
    std::vector<std::string> rows;
    const char* expected;
};

const LayoutCase kLayouts[] = {
    {"one column",
     {"aaaaaaaaaaaaaaaaaaaa", "bbbbbbbbbbbbbbbbbbbb", "cccccccccc", "  dddddddddddddddddd"},
     "abcd"},
    {"two columns, rows level",
     {"aaaaaaaaa   ddddddddd", "bbbbbbbbb   eeeeeeeee", "ccccc       fffffffff"},
     "abcdef"},
    {"heading and footer across two columns",
     {"     HHHHHHHHHHH     ", "aaaaaaaaa   ddddddddd", "bbbbbbbbb   eeeeeeeee",
      "ccccc       fffff    ", "FFFFFFFFFFFFFFFFFFFFF"},
     "HabcdefF"},
    {"three columns under a heading, the last one short",
     {"HHHHHHHHHHHHHHHHHHHHHHHHHHH", "aaaaaaa  ddddddd  ggggggg", "bbbbbbb  eeeeeee  hhhhhhh",
      "ccccccc  fffffff", "iiiiiii  jjjjjjj"},
     "Habcidefjgh"},
    {"a heading over two of three columns",
     {"         HHHHHHHHHHHH", "aaaaaaa  ddddddd  ggggggg", "bbbbbbb  eeeeeee  hhhhhhh",
      "ccccccc  fffffff  iiiiiii"},
     "Habcdefghi"},
    {"a heading set apart by white that fits over the middle column",
     {"          HHHHH", "", "aaaaaaa  ddddddd  ggggggg", "bbbbbbb  eeeeeee  hhhhhhh",
      "ccccccc  fffffff  iiiiiii", "", "      FFFFFFF"},
     "HabcdefghiF"},
    {"columns, then one column, then columns again",
     {"aaaaaaaaa   ddddddddd", "bbbbbbbbb   eeeeeeeee", "ccccccccc   fffffffff",
      "ggggggggggggggggggggg", "hhhhhhhhh   kkkkkkkkk", "iiiiiiiii   lllllllll",
      "jjjjj       mmmm"},
     "abcdefghijklm"},
    {"a speck in the gutter belongs to a column",
     {"aaaaaaaaa     ddddddddd", "bbbbbbbbb     eeeeeeeee", "ccccccccc x   fffffffff"},
     "abcxdef"},
    {"a table: labels and values stay in rows",
     {"nnn  vvvvvvvvvvvv", "mmm  wwwwwwwww", "ooo  xxxxxxxxxxx"},
     "nvmwox"},
    {"a table inside the left column",
     {"aaaaaaaaaaa   eeeeeeeeeee", "bbb  ccccc    fffffffffff", "ddddddddddd   ggggggggggg"},
     "abcdefg"},
    {"a line cut at a wide space, then a short line",
     {"aaaaaaaa     bbbbbbbb", "cccccc", "ddddddddddddddddddddd"},
     "abcd"},
};

TEST(ReadingOrder, ReadsColumnsHeadingsAndRowsAsAReaderDoes) {
    for (const LayoutCase& layout : kLayouts) {
        for (double degrees : {0.0, 1.5, -3.0}) {
            const Drawn page = Draw(layout.rows, degrees);
            EXPECT_EQ(Named(page, ReadingOrder(page.lines)), layout.expected)
                << layout.what << ", turned " << degrees << " degrees";
        }
    }
}

struct GutterCase {
    const char* what;
    std::vector<std::string> rows;
    const char* cut;            // the lines cut or trimmed, once per piece
    bool largeHeading = false;  // the first row set in type twice as large
};

const GutterCase kGutters[] = {
    {"rows run across a gutter of two ems",
     {"aaaaaaaaaa  bbbbbbbbbb", "cccccccccc__cccccccccc", "dddddddddd  eeeeeeeeee",
      "ffffffffff__ffffffffff", "gggggg      hhhhhhhhhh"},
     "ccff"},
    {"every row across a gutter of one em",
     {"aaaaaaaaaa_aaaaaaaaaa", "bbbbbbbbbb_bbbbbbbbbb", "cccccccccc_cccccccccc",
      "dddddddddd_dddddddddd"},
     "aabbccdd"},
    {"a paragraph's last line joined to the next column's line",
     {"aaaaaaaaaa  bbbbbbbbbb", "cccccccccc  dddddddddd", "eeee________eeeeeeeeee",
      "ffffffffff  gggggggggg"},
     "ee"},
    {"three columns, one line across both gutters, a heading above",
     {"HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH", "aaaaaaaaaa  bbbbbbbbbb  cccccccccc",
      "dddddddddd__dddddddddd__dddddddddd", "eeeeeeeeee  ffffffffff  gggggggggg",
      "hhhhhhhhhh  iiiiiiiiii  jjjjjjjjjj"},
     "ddd"},
    {"a box's blank end reaching over the gutter into an indent",
     {"aaaaaaaaaa  bbbbbbbbbb", "cccccccccc____dddddddd", "eeeeeeeeee  ffffffffff",
      "gggggggggg  hhhhhhhhhh"},
     "c"},
    {"a heading in large type with a word space over the gutter",
     {"HHHHHHHHHH_HHHHHHHHHH", "", "aaaaaaaaaa bbbbbbbbbb", "cccccccccc dddddddddd",
      "eeeeeeeeee ffffffffff", "gggggggggg hhhhhhhhhh"},
     "",
     true},
    {"a heading set apart by white, one of its word spaces over the gutter",
     {"HHHH_HHHHH_HHHH_HHHHH", "", "aaaaaaaaaa bbbbbbbbbb", "cccccccccc dddddddddd",
      "eeeeeeeeee ffffffffff", "gggggggggg hhhhhhhhhh"},
     ""},
    {"one column: a wide blank inside a line",
     {"aaaaaaaaaaaaaaaaaaaaaa", "bbbbbbb___bbbbbbbbbbbb", "cccccccccccccccccccccc",
      "dddddddddddddddddddddd"},
     ""},
    {"a list of contents: page numbers stay with their titles",
     {"aaaaaaaaaaaaaa___aa", "bbbbbbbbbb_______bb", "cccccccccccc_____cc"},
     ""},
    {"a table: narrow labels stay with their values",
     {"nnn___nnnnnnnnnnnnn", "mmm___mmmmmmmmmm", "ooo___oooooooooooo"},
     ""},
    {"a long table: narrow labels stay with their values",
     {"nnn___nnnnnnnnnnnnn", "mmm___mmmmmmmmmm", "ooo___oooooooooooo", "ppp___pppppppppppp",
      "qqq___qqqqqqqqqqqqq", "rrr___rrrrrrrrrr", "sss___ssssssssssss", "ttt___tttttttttttt"},
     ""},
};

TEST(Gutters, LinesAcrossAGutterAreCutThereAndNowhereElse) {
    for (const GutterCase& layout : kGutters) {
        for (double degrees : {0.0, 1.5, -3.0}) {
            std::vector<InkRuns> ink;
            Drawn page = DrawInk(layout.rows, ink, degrees);
            if (layout.largeHeading) {
                const Quad q = page.lines[0];
                page.lines[0][2] = {2 * q[2].x - q[1].x, 2 * q[2].y - q[1].y};
                page.lines[0][3] = {2 * q[3].x - q[0].x, 2 * q[3].y - q[0].y};
            }
            const auto pieces = LinePieces(page.lines, ink, SkewOfLines(page.lines));
            std::string cut;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                if (pieces[i] != std::vector<Span>{{0.0, 1.0}}) {
                    cut += std::string(pieces[i].size(), page.names[i]);
                }
                // Each cut falls in a blank of the line, outside its ink.
                for (std::size_t k = 1; k < pieces[i].size(); ++k) {
                    const double from = pieces[i][k - 1].second, to = pieces[i][k].first;
                    EXPECT_LT(from, to) << layout.what;
                    for (auto [inkFrom, inkTo] : ink[i]) {
                        EXPECT_TRUE(inkTo <= from + 1e-9 || inkFrom >= to - 1e-9) << layout.what;
                    }
                }
            }
            EXPECT_EQ(cut, layout.cut) << layout.what << ", turned " << degrees << " degrees";
        }
    }
}

TEST(ReadingOrder, SkewMeasuredFromBaselinesIsUndone) {
    const Drawn page = Draw(kLayouts[2].rows, 3.0);
    std::vector<Segment> baselines;
    for (const Quad& q : page.lines) {
        baselines.push_back({q[3], q[2]});
    }
    EXPECT_NEAR(MedianSkew(baselines), 3.0 * M_PI / 180.0, 1e-6);
    // Upright boxes around skewed lines, as some engines give them.
    std::vector<Quad> upright;
    for (const Quad& q : page.lines) {
        const auto [minX, maxX] = std::minmax({q[0].x, q[1].x, q[2].x, q[3].x});
        const auto [minY, maxY] = std::minmax({q[0].y, q[1].y, q[2].y, q[3].y});
        upright.push_back(Box(minX, minY, maxX - minX, maxY - minY));
    }
    EXPECT_EQ(Named(page, ReadingOrder(upright, MedianSkew(baselines))), kLayouts[2].expected);
}

TEST(ReadingOrder, SingleColumnPagesKeepTheRowOrder) {
    std::mt19937 random(7);
    for (int pageNumber = 0; pageNumber < 200; ++pageNumber) {
        std::vector<Quad> lines;
        const int count = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            // Ragged ends, indents, boxes a little too tall, a line now and then
            // cut in two.
            const double x = (random() % 4 == 0) ? 40.0 : 0.0;
            const double w = 200.0 + random() % 500;
            const double y = i * 28.0 + random() % 5;
            const double h = 20.0 + random() % 12;
            if (random() % 8 == 0) {
                lines.push_back(Box(x, y, w / 3, h));
                lines.push_back(Box(x + w / 2, y + 1, w / 2, h));
            } else {
                lines.push_back(Box(x, y, w, h));
            }
        }
        EXPECT_EQ(ReadingOrder(lines), RowOrder(lines)) << "page " << pageNumber;
        // Words, and now and then a wide blank (a tab, a gap before a
        // number): no line is cut.
        std::mt19937 words(static_cast<unsigned>(pageNumber));
        std::vector<InkRuns> ink;
        for (const Quad& q : lines) {
            const double length = q[1].x - q[0].x;
            InkRuns& runs = ink.emplace_back();
            for (double at = 0.0; at < length;) {
                const double word = 10.0 + words() % 80;
                runs.emplace_back(at / length, std::min(at + word, length) / length);
                at += word + (words() % 20 == 0 ? 16.0 + words() % 60 : 3.0 + words() % 8);
            }
        }
        for (const auto& pieces : LinePieces(lines, ink, 0.0)) {
            EXPECT_EQ(pieces.size(), 1u) << "page " << pageNumber;
        }
    }
}

TEST(ReadingOrder, BadBoxesGiveEveryLineExactlyOnce) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::vector<Quad>> pages = {
        {},
        {Box(5, 5, 100, 20)},
        {Box(0, 0, 0, 0), Box(10, 10, 0, 20), Box(10, 40, 300, 0), Box(0, 0, 0, 0)},
        {Box(0, 0, 300, 20), Box(0, 0, 300, 20), Box(10, 5, 280, 20), Box(0, 30, 300, 20)},
        {Box(nan, 0, 100, 20), Box(0, nan, 100, 20), Box(0, 30, 1e300, 1e300)},
        // A page turned a quarter: tall narrow lines side by side.
        {Box(0, 0, 20, 400), Box(30, 0, 20, 400), Box(60, 0, 20, 250)},
        // Corners in the wrong order.
        {{{{100, 100}, {0, 100}, {0, 0}, {100, 0}}}, Box(0, 200, 100, 20)},
    };
    std::vector<Quad> specks;
    std::mt19937 random(3);
    for (int i = 0; i < 3000; ++i) {
        specks.push_back(Box(random() % 2000, random() % 3000, 1 + random() % 6, 1 + random() % 6));
    }
    pages.push_back(specks);
    std::vector<Quad> grid;
    for (int i = 0; i < 3000; ++i) {
        grid.push_back(Box((i % 60) * 12, (i / 60) * 12, 6, 6));
    }
    pages.push_back(grid);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        EXPECT_TRUE(IsPermutation(ReadingOrder(pages[p]), pages[p].size())) << "page " << p;
        EXPECT_TRUE(IsPermutation(ReadingOrder(pages[p], 0.05), pages[p].size())) << "page " << p;
        // Every line is read, in pieces inside it that follow each other.
        const std::vector<InkRuns> ink(pages[p].size(), {{0.0, 0.3}, {0.7, 0.9}, {nan, 2.0}});
        for (const auto& pieces : LinePieces(pages[p], ink, SkewOfLines(pages[p]))) {
            ASSERT_FALSE(pieces.empty()) << "page " << p;
            double end = 0.0;
            for (auto [from, to] : pieces) {
                EXPECT_TRUE(end <= from && from < to && to <= 1.0) << "page " << p;
                end = to;
            }
        }
    }
}

}  // namespace
