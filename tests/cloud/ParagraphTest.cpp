#include "cloud/GeneralText.h"
#include "cloud/LineJoin.h"
#include "cloud/RecognizePictureText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kelsor::PlacedLine;

namespace {

struct At {
    const char* words;
    double x, y, w, h;
};

std::vector<PlacedLine> Place(const std::vector<At>& lines) {
    std::vector<PlacedLine> placed;
    for (const At& a : lines) {
        placed.push_back(
            {a.words,
             true,
             {{{a.x, a.y}, {a.x + a.w, a.y}, {a.x + a.w, a.y + a.h}, {a.x, a.y + a.h}}}});
    }
    return placed;
}

struct ParagraphCase {
    const char* what;
    std::vector<At> lines;
    const char* text;
};

// Lines 20 high, 30 apart, columns 400 wide unless a case says otherwise.
const ParagraphCase kCases[] = {
    {"an indented first line starts a paragraph",
     {{"一二", 0, 0, 400, 20},
      {"三四", 0, 30, 400, 20},
      {"五六", 40, 60, 360, 20},
      {"七八", 0, 90, 400, 20}},
     "一二三四\r\n五六七八"},
    {"a line stopping short ends its paragraph",
     {{"一二", 0, 0, 400, 20},
      {"三四", 0, 30, 200, 20},
      {"五六", 0, 60, 400, 20},
      {"七八", 0, 90, 400, 20}},
     "一二三四\r\n五六七八"},
    {"a wide gap ends a paragraph",
     {{"one", 0, 0, 400, 20},
      {"two", 0, 30, 400, 20},
      {"three", 0, 60, 400, 20},
      {"four", 0, 130, 400, 20},
      {"five", 0, 160, 400, 20}},
     "one two three\r\nfour five"},
    {"ragged Latin lines stay together while the next word would not have fitted",
     {{"a line of forty characters, all of them!", 0, 0, 400, 20},
      {"a line short by less than the next wor", 0, 30, 380, 20},
      {"extraordinarily long word begins this", 0, 60, 370, 20},
      {"and then a line that ends early", 0, 90, 310, 20},
      {"so this one starts a new one ending now.", 0, 120, 400, 20}},
     "a line of forty characters, all of them!a line short by less than the next wor "
     "extraordinarily long word begins this and then a line that ends early\r\n"
     "so this one starts a new one ending now."},
    {"a paragraph runs on from one column into the next",
     {{"甲甲", 0, 0, 300, 20},
      {"乙乙", 0, 30, 300, 20},
      {"丙丙", 0, 60, 300, 20},
      {"丁丁", 340, 0, 300, 20},
      {"戊戊", 340, 30, 120, 20},
      {"己己", 340, 60, 300, 20}},
     "甲甲乙乙丙丙丁丁戊戊\r\n己己"},
    {"a heading above the columns stands alone",
     {{"标题", 240, 0, 160, 30},
      {"甲甲", 0, 50, 300, 20},
      {"乙乙", 0, 80, 300, 20},
      {"丙丙", 0, 110, 300, 20},
      {"丁丁", 340, 50, 300, 20},
      {"戊戊", 340, 80, 300, 20}},
     "标题\r\n甲甲乙乙丙丙丁丁戊戊"},
    {"columns of vertical text: a column starting lower starts a paragraph, a title stands "
     "alone",
     {{"静夜思", 60, 0, 120, 30},
      {"床前明月光", 200, 60, 20, 200},
      {"疑是地上霜", 170, 60, 20, 200},
      {"举头望明月", 140, 100, 20, 160},
      {"低头思故乡", 110, 60, 20, 200}},
     "静夜思\r\n床前明月光疑是地上霜\r\n举头望明月低头思故乡"},
    {"a column ending short ends its paragraph; far columns are apart",
     {{"甲甲甲甲", 300, 0, 20, 200},
      {"乙乙", 270, 0, 20, 100},
      {"丙丙丙丙", 240, 0, 20, 200},
      {"丁丁丁丁", 210, 0, 20, 200},
      {"戊戊戊戊", 100, 0, 20, 200}},
     "甲甲甲甲乙乙\r\n丙丙丙丙丁丁丁丁\r\n戊戊戊戊"},
    {"parts of one printed line are joined, not broken",
     {{"Name:", 0, 0, 60, 20}, {"Alice Smith", 200, 1, 200, 20}, {"full line", 0, 30, 400, 20}},
     "Name:Alice Smith full line"},
};

TEST(Paragraphs, BreakWhereThePageShowsOne) {
    for (const ParagraphCase& c : kCases) {
        EXPECT_EQ(kelsor::JoinEditParagraphs(Place(c.lines)), c.text) << c.what;
    }
}

TEST(Paragraphs, LinesWithoutPlacesRunTogetherAsBefore) {
    std::vector<PlacedLine> lines = Place({{"一二", 0, 0, 400, 20}, {"三四", 40, 90, 100, 20}});
    lines.insert(lines.begin() + 1, PlacedLine{"中间"});
    lines.push_back(PlacedLine{"尾"});
    EXPECT_EQ(kelsor::JoinEditParagraphs(lines), "一二中间\r\n三四尾");
    for (PlacedLine& line : lines) {
        line.placed = false;
    }
    EXPECT_EQ(kelsor::JoinEditParagraphs(lines), "一二中间三四尾");
    EXPECT_EQ(kelsor::JoinEditParagraphs({}), "");
}

TEST(Paragraphs, ReplyLocationsDecideTheBreaks) {
    auto block = [](const std::string& words, const std::string& location) {
        return R"({"words":")" + words + R"(","location":)" + location + "}";
    };
    const std::string full = "[[0,0],[400,0],[400,20],[0,20]]";
    const std::string indented = "[[40,30],[400,30],[400,50],[40,50]]";
    const std::string envelope =
        R"({"status":200,"response body":{"result":{"words_block_list":[)" + block("ab", full) +
        "," + block("cd", indented) + "," + block("ef", R"([[0,60],[400,60],[400,80]])") + "," +
        block("gh", R"([["0","90"],[400,90],[400,110],[0,110]])") + "]}}}";
    std::string text;
    ASSERT_TRUE(kelsor::ParseGeneralTextReply(kelsor::EditPriority, text, envelope));
    // Locations that are not four number pairs leave their lines unplaced.
    EXPECT_EQ(text, "ab\r\ncd ef gh");
    text.clear();
    ASSERT_TRUE(kelsor::ParseGeneralTextReply(kelsor::FormatPriority, text, envelope));
    EXPECT_EQ(text, "ab\r\ncd\r\nef\r\ngh");
}

}  // namespace
