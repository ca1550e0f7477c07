#include "server/layout/ChinesePunctuation.h"
#include "server/layout/ReadingOrder.h"
#include "server/layout/VerticalColumns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace kelsor::server::layout;

namespace {

constexpr double kCell = 20.0;  // one drawn character is a cell this size

// A page drawn in characters: each letter is one line box, the rectangle
// around every cell that holds it, so a letter drawn down a column is a
// column's box and one drawn along a row a line across. '.' and ' ' are
// paper.
struct Drawn {
    std::vector<Quad> lines;
    std::string names;
};

Drawn Draw(const std::vector<std::string>& rows) {
    std::map<char, Bounds> boxes;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const char name = rows[r][c];
            if (name == ' ' || name == '.') {
                continue;
            }
            const Bounds cell{r * kCell, (r + 1) * kCell, c * kCell, (c + 1) * kCell};
            auto [it, added] = boxes.emplace(name, cell);
            if (!added) {
                it->second = {
                    std::min(it->second.top, cell.top), std::max(it->second.bottom, cell.bottom),
                    std::min(it->second.left, cell.left), std::max(it->second.right, cell.right)};
            }
        }
    }
    Drawn page;
    // Boxes come in an order unrelated to the reading order, as a
    // detector gives them: by name.
    for (const auto& [name, b] : boxes) {
        page.lines.push_back(
            {{{b.left, b.top}, {b.right, b.top}, {b.right, b.bottom}, {b.left, b.bottom}}});
        page.names += name;
    }
    return page;
}

std::string Ordered(const Drawn& page) {
    std::string names;
    for (std::size_t i : ReadingOrder(page.lines)) {
        names += page.names[i];
    }
    return names;
}

// The groups of pieces as names, "|" between groups, in the order given.
std::string Pieces(const Drawn& page) {
    std::string names;
    for (const auto& group : ColumnPieces(page.lines)) {
        names += names.empty() ? "" : "|";
        for (std::size_t i : group) {
            names += page.names[i];
        }
    }
    return names;
}

// A poem of four columns, five characters each, boxed a character at a
// time as the detector boxes short columns set apart: characters 37 px
// wide, 46 px apart down a column, columns 75 px apart. Each column's
// boxes are named by consecutive letters, the first column (rightmost)
// from 'a', and its comma (a mark narrower than a character, boxed alone)
// last when `commas`; in every other column `joined` characters down share
// one box, named by the first. A title across above is named 'z'. Turned
// about the diagonal it is a page of spaced lines.
Drawn Poem(bool commas, int joined, bool turned, bool title = false) {
    Drawn page;
    const auto add = [&](char name, double left, double top, double width, double height) {
        if (turned) {
            std::swap(left, top);
            std::swap(width, height);
        }
        page.lines.push_back({{{left, top},
                               {left + width, top},
                               {left + width, top + height},
                               {left, top + height}}});
        page.names += name;
    };
    for (int c = 0; c < 4; ++c) {
        const double left = 300.0 - 75.0 * c;
        const char first = static_cast<char>('a' + 6 * c);
        for (int r = 0; r < 5;) {
            const int run = r == 1 && c % 2 == 0 ? std::max(1, joined) : 1;
            add(static_cast<char>(first + r), left, 20.0 + 46.0 * r, 37.0, 46.0 * (run - 1) + 38.0);
            r += run;
        }
        if (commas) {
            add(static_cast<char>(first + 5), left + 4.0 + 2.0 * c, 250.0, 16.0 + 2.0 * c,
                28.0 + c);
        }
    }
    if (title) {
        add('z', 80.0, -40.0, 250.0, 36.0);
    }
    return page;
}

}  // namespace

TEST(VerticalColumns, ColumnsAreReadRightToLeftWithTitleAndFooterInPlace) {
    struct Case {
        const char* what;
        std::vector<std::string> rows;
        std::string order;
    };
    const std::vector<Case> cases = {
        {"columns read from the right, each down",
         {"c.b.a", "c.b.a", "c.b.a", "c.b.a", "..b.a"},
         "abc"},
        {"a column split at its punctuation stays one column, pieces top to bottom",
         {"d.b.a", "d.b.a", "d...a", "e.c.a", "e.c.a", "e.c.a"},
         "abcde"},
        {"a title across the top comes first, a footer across the bottom last",
         {"..tttttt..", "..........", "..d.c.b.a.", "..d.c.b.a.", "..d.c.b.a.", "..d.c.b.a.",
          "..........", "....ff...."},
         "tabcdf"},
        {"single characters (the detector's boxes of a spaced column) join their column",
         {"c.b.a", "....a", "g.e.a", "....a", "h.f.a"},
         "abefcgh"},
        {"two blocks of columns one above the other: the upper first",
         {"b.a", "b.a", "b.a", "...", "...", "d.c", "d.c", "d.c"},
         "abcd"},
        {"columns of a page turned clockwise read as its lines in order",
         {"c.b.a", "c.b.a", "c.b.a", "c.b.a"},
         "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Drawn page = Draw(c.rows);
        EXPECT_EQ(Ordered(page), c.order);
    }
}

TEST(VerticalColumns, HorizontalPagesAreNotTakenForColumns) {
    // Lines across, a tall rule between two columns, numbers down a margin:
    // the order of rows is kept.
    const std::vector<std::vector<std::string>> pages = {
        {"aaaaaaaa", "bbbbbbbb", "cccccccc"},
        {"aaaa.r.bbbb", "cccc.r.dddd", "eeee.r.ffff"},
        {"1.aaaaaaa", "2.bbbbbbb", "3.ccccccc"},
    };
    for (const auto& rows : pages) {
        const Drawn page = Draw(rows);
        std::vector<Bounds> bounds = StraightBounds(page.lines, 0.0);
        EXPECT_FALSE(InColumns(bounds)) << rows.front();
        const auto rowOrder = RowOrder(page.lines);
        EXPECT_EQ(ReadingOrder(page.lines, 0.0).size(), page.lines.size());
        if (rows.size() == 3 && rows.front().size() == 8) {
            EXPECT_EQ(ReadingOrder(page.lines), rowOrder);
        }
        // Every box is its own group.
        EXPECT_EQ(ColumnPieces(page.lines).size(), page.lines.size());
    }
}

TEST(VerticalColumns, PiecesOfOneColumnAreJoinedAndNothingElse) {
    struct Case {
        const char* what;
        std::vector<std::string> rows;
        std::string pieces;
    };
    const std::vector<Case> cases = {
        {"split at punctuation and at a gap of a character: one column each",
         {"d.b.a", "d.b.a", "..b..", "e...c", "e.f.c", "e.f.c"},
         "ac|bf|de"},
        {"a gap of three columns' widths parts the pieces",
         {"c.a", "c.a", "c..", "c..", "c..", "c.b", "c.b"},
         "a|b|c"},
        {"a spaced column boxed a character at a time is one column",
         {"a", ".", "b", ".", "c", ".", "d"},
         "abcd"},
        {"spaced characters along a row stay apart", {"a.b.c.d"}, "a|b|c|d"},
        {"a title across stays alone",
         {"tttttt", "......", "..b.a.", "..b.a.", "..b.a.", "..c.a."},
         "t|a|bc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Pieces(Draw(c.rows)), c.pieces);
    }
}

TEST(VerticalColumns, ShortColumnsBoxedACharacterAtATimeStayColumns) {
    // How the detector boxes such a poem changes with the picture's size:
    // every character alone, or two together, with or without its commas.
    // Marks narrower than the characters say nothing of the direction nor
    // of a column's width.
    struct Case {
        const char* what;
        bool commas;
        int joined;
        std::string pieces;
    };
    const std::vector<Case> cases = {
        {"every character alone", false, 1, "abcde|ghijk|mnopq|stuvw"},
        {"commas alone, taller than wide", true, 1, "abcdef|ghijkl|mnopqr|stuvwx"},
        {"two characters in one tall box in half the columns, commas alone", true, 2,
         "abdef|ghijkl|mnpqr|stuvwx"},
    };
    // A title across does not outvote the characters under it.
    const Drawn titled = Poem(true, 1, false, true);
    EXPECT_TRUE(InColumns(StraightBounds(titled.lines, 0.0)));
    EXPECT_EQ(Pieces(titled), "z|abcdef|ghijkl|mnopqr|stuvwx");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Drawn poem = Poem(c.commas, c.joined, false);
        EXPECT_TRUE(InColumns(StraightBounds(poem.lines, 0.0)));
        EXPECT_EQ(Pieces(poem), c.pieces);
        // The same boxes turned: spaced characters in lines far apart.
        const Drawn lines = Poem(c.commas, c.joined, true);
        EXPECT_FALSE(InColumns(StraightBounds(lines.lines, 0.0)));
        EXPECT_EQ(ColumnPieces(lines.lines).size(), lines.lines.size());
    }
}

TEST(ChinesePunctuation, VerticalFormsAndHalfWidthMarksInChineseBecomeFullWidth) {
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"︐︑︒︓︔︕︖", "，、。：；！？"},
        {"︵注︶﹁引﹂︽书︾﹃内﹄︻号︼︿小﹀︙︱", "（注）「引」《书》『内』【号】〈小〉…—"},
        {"他乡复行役,驻马别孤坟.", "他乡复行役，驻马别孤坟。"},
        {"作者:张九龄;好!是吗?", "作者：张九龄；好！是吗？"},
        {"注释(一)完", "注释（一）完"},
        {"他说:「走」", "他说：「走」"},
        // Latin text and numbers keep their marks.
        {"Linux, BSD", "Linux, BSD"},
        {"版本3.5发布", "版本3.5发布"},
        {"中文 (Chinese) 版", "中文 (Chinese) 版"},
        {"用Python.", "用Python."},
        {"等等...", "等等..."},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChinesePunctuation(c.in), c.out) << c.in;
    }
    EXPECT_EQ(LaidDownColumnMarks("随山将万转’趣途无百里°"), "随山将万转，趣途无百里。");
    EXPECT_EQ(LaidDownColumnMarks("It’s 30°"), "It’s 30°");
}
