// When a picture is taken for one line, and which reading of it wins.
#include <gtest/gtest.h>

#include "server/ppocr/OneLine.h"

using namespace kelsor::server;
using namespace kelsor::server::ppocr;

namespace {

layout::InkExtent Ink(int left, int top, int right, int bottom, int bands = 1,
                      double density = 0.3) {
    layout::InkExtent ink;
    ink.plain = true;
    ink.left = left;
    ink.top = top;
    ink.right = right;
    ink.bottom = bottom;
    ink.bands = bands;
    ink.textHeight = bottom - top;
    ink.density = density;
    return ink;
}

TextBlock Line(int left, int top, int right, int bottom, double confidence) {
    return {"", {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}}, confidence};
}

}  // namespace

TEST(PpOcrOneLine, OnlyAPictureOfOneHorizontalLineIsReadWhole) {
    const PpOcrSettings settings;
    struct Case {
        const char* what;
        layout::InkExtent ink;
        int height;
        bool whole;
    };
    const Case cases[] = {
        {"a line cut tight", Ink(0, 0, 400, 20), 20, true},
        {"a line with 40 px around it", Ink(40, 40, 440, 60), 100, true},
        {"a single square character", Ink(2, 2, 22, 22), 24, true},
        {"two lines", Ink(0, 0, 400, 50, 2), 50, false},
        {"a line in a window", Ink(100, 300, 500, 320), 720, false},
        {"a column of characters", Ink(0, 0, 20, 300), 300, false},
        {"a filled bar", Ink(0, 0, 400, 20, 1, 0.9), 20, false},
        {"a line the model would have to squeeze", Ink(0, 0, 4000, 20), 20, false},
        {"no ground colour",
         [] {
             layout::InkExtent ink = Ink(0, 0, 400, 20);
             ink.plain = false;
             return ink;
         }(),
         20, false},
    };
    for (const Case& c : cases) {
        const auto box = WholeLineBox(c.ink, {5, 7, 0, 0}, c.height, settings);
        EXPECT_EQ(box.has_value(), c.whole) << c.what;
        if (box) {
            // Around the ink, in the padded picture's coordinates.
            EXPECT_LT(box->corners[0].x, static_cast<float>(c.ink.left + 5)) << c.what;
            EXPECT_LT(box->corners[0].y, static_cast<float>(c.ink.top + 7)) << c.what;
            EXPECT_GT(box->corners[2].x, static_cast<float>(c.ink.right + 5)) << c.what;
            EXPECT_GT(box->corners[2].y, static_cast<float>(c.ink.bottom + 7)) << c.what;
        }
    }
    PpOcrSettings off;
    off.oneLineHeightRatio = 0.0;
    EXPECT_FALSE(WholeLineBox(Ink(0, 0, 400, 20), {}, 20, off));
}

TEST(PpOcrOneLine, PiecesOfOneRowMakeOneLineAndCountByWhatTheyCover) {
    const PpOcrSettings settings;
    const std::vector<TextBlock> row = {Line(10, 2, 100, 22, 0.95), Line(120, 3, 300, 21, 0.9)};
    const auto box = RowOfPieces(row, 24, settings);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->corners[0], cv::Point2f(10, 2));
    EXPECT_EQ(box->corners[2], cv::Point2f(300, 22));
    EXPECT_FALSE(RowOfPieces({Line(10, 2, 100, 22, 0.9), Line(10, 40, 100, 60, 0.9)}, 64, settings))
        << "two rows";
    EXPECT_FALSE(RowOfPieces({row.front()}, 24, settings)) << "one piece";
    // Confidence weighted by length, times the share of the line covered.
    EXPECT_NEAR(ReadingScore(row, 270.0), (0.95 * 90 + 0.9 * 180) / 270.0, 1e-9);
    EXPECT_NEAR(ReadingScore({row.front()}, 360.0), 0.95 * 90 / 360.0, 1e-9);
    EXPECT_EQ(ReadingScore({}, 100.0), 0.0);
}

TEST(PpOcrOneLine, CornersComeBackInsideThePictureAsSent) {
    std::vector<TextBlock> lines = {Line(3, 5, 450, 40, 0.9)};
    MapIntoPicture(lines, {10, 12, 10, 12}, cv::Size(430, 26));
    EXPECT_EQ(lines[0].location[0], (std::array<int, 2>{0, 0}));
    EXPECT_EQ(lines[0].location[2], (std::array<int, 2>{429, 25}));
}
