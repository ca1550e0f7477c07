// Where a picture's ink lies against its edge colour, and the margin added
// to text that touches an edge.
#include "server/layout/TextMargin.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelsor::server;
using namespace kelsor::server::layout;

namespace {

using Colour = std::array<std::uint8_t, 3>;

struct Block {
    int left, top, right, bottom;  // right and bottom exclusive
};

DecodedPicture Picture(int width, int height, Colour ground, Colour ink,
                       const std::vector<Block>& blocks) {
    DecodedPicture p{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        p.rgb.insert(p.rgb.end(), ground.begin(), ground.end());
    }
    for (const Block& b : blocks) {
        for (int y = b.top; y < b.bottom; ++y) {
            for (int x = b.left; x < b.right; ++x) {
                std::copy(ink.begin(), ink.end(), p.rgb.begin() + (y * width + x) * 3);
            }
        }
    }
    return p;
}

}  // namespace

TEST(TextMargin, FindsTheInkBandsAndTheMarginTheyNeed) {
    struct Case {
        const char* what;
        DecodedPicture picture;
        int bands;
        int textHeight;
        Block extent;
        Padding padding;  // for a margin of 10
    };
    const Colour white{255, 255, 255}, black{0, 0, 0}, dark{0x1E, 0x1E, 0x1E},
        light{0xD4, 0xD4, 0xD4};
    // Words of a line with an ascender touching the top and a descender the
    // bottom.
    const std::vector<Block> tight = {
        {0, 3, 30, 11}, {34, 3, 60, 11}, {64, 3, 100, 11}, {2, 0, 4, 3}, {50, 11, 52, 14}};
    const Case cases[] = {
        {"line touching every edge",
         Picture(100, 14, white, black, tight),
         1,
         14,
         {0, 0, 100, 14},
         {10, 10, 10, 10}},
        {"light on dark, touching the top only",
         Picture(120, 30, dark, light, {{2, 0, 110, 12}}),
         1,
         12,
         {2, 0, 110, 12},
         {8, 10, 0, 0}},
        {"the dot of an i joins its line",
         Picture(80, 28, white, black, {{20, 10, 22, 12}, {10, 13, 70, 25}}),
         1,
         15,
         {10, 10, 70, 25},
         {0, 0, 0, 7}},
        {"two lines",
         Picture(80, 60, white, black, {{10, 10, 70, 20}, {10, 30, 60, 40}}),
         2,
         10,
         {10, 10, 70, 40},
         {0, 0, 0, 0}},
        {"a line running down the picture: two words, 12 px high",
         Picture(30, 120, white, black, {{10, 0, 22, 50}, {10, 56, 22, 120}}),
         2,
         12,
         {10, 0, 22, 120},
         {0, 10, 0, 10}},
        {"no ink", Picture(50, 20, white, black, {}), 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const InkExtent ink = FindInk(c.picture);
        EXPECT_EQ(ink.bands, c.bands) << c.what;
        EXPECT_EQ(ink.textHeight, c.textHeight) << c.what;
        EXPECT_EQ(ink.left, c.extent.left) << c.what;
        EXPECT_EQ(ink.top, c.extent.top) << c.what;
        EXPECT_EQ(ink.right, c.extent.right) << c.what;
        EXPECT_EQ(ink.bottom, c.extent.bottom) << c.what;
        const Padding padding = PaddingFor(ink, c.picture.width, c.picture.height, 10);
        EXPECT_EQ(padding.left, c.padding.left) << c.what;
        EXPECT_EQ(padding.top, c.padding.top) << c.what;
        EXPECT_EQ(padding.right, c.padding.right) << c.what;
        EXPECT_EQ(padding.bottom, c.padding.bottom) << c.what;
    }
}

TEST(TextMargin, TwoLinesSharingRowsAreToldFromOne) {
    const Colour white{255, 255, 255}, black{0, 0, 0};
    // A descender of the first line reaches the rows of an ascender of the
    // second: one band of rows, thin in its middle.
    const InkExtent two =
        FindInk(Picture(220, 40, white, black,
                        {{10, 5, 210, 15}, {30, 15, 34, 20}, {70, 19, 74, 24}, {10, 24, 210, 35}}));
    EXPECT_EQ(two.bands, 1);
    EXPECT_TRUE(two.thinMiddle);
    // One line with ascenders and descenders is full in its middle.
    const InkExtent one = FindInk(
        Picture(200, 16, white, black, {{20, 0, 24, 4}, {0, 4, 200, 12}, {60, 12, 64, 16}}));
    EXPECT_EQ(one.bands, 1);
    EXPECT_FALSE(one.thinMiddle);
}

TEST(TextMargin, APictureWithoutOneGroundColourGetsNoMargin) {
    DecodedPicture noise{64, 32, {}};
    std::mt19937 random(7);
    for (int i = 0; i < 64 * 32 * 3; ++i) {
        noise.rgb.push_back(static_cast<std::uint8_t>(random() & 0xFF));
    }
    const InkExtent ink = FindInk(noise);
    EXPECT_FALSE(ink.plain);
    EXPECT_FALSE(PaddingFor(ink, noise.width, noise.height, 10).Any());
    // Nor does a picture whose data does not match its size.
    DecodedPicture broken{10, 10, std::vector<std::uint8_t>(12, 0)};
    EXPECT_FALSE(PaddingFor(FindInk(broken), 10, 10, 10).Any());
}

TEST(TextMargin, PaddedPictureKeepsEveryPixelInPlaceInsideTheEdgeColour) {
    const Colour blue{0x0A, 0x64, 0xAD}, white{255, 255, 255};
    const DecodedPicture line = Picture(7, 3, blue, white, {{1, 0, 6, 3}});
    const Padding padding{2, 1, 3, 4};
    const DecodedPicture padded = Padded(line, padding, blue);
    ASSERT_EQ(padded.width, 12);
    ASSERT_EQ(padded.height, 8);
    ASSERT_EQ(padded.rgb.size(), 12u * 8u * 3u);
    for (int y = 0; y < padded.height; ++y) {
        for (int x = 0; x < padded.width; ++x) {
            const int fromX = x - padding.left, fromY = y - padding.top;
            const bool inside =
                fromX >= 0 && fromX < line.width && fromY >= 0 && fromY < line.height;
            const std::uint8_t* got = &padded.rgb[(y * padded.width + x) * 3];
            const std::uint8_t* want =
                inside ? &line.rgb[(fromY * line.width + fromX) * 3] : blue.data();
            EXPECT_TRUE(std::equal(got, got + 3, want)) << x << "," << y;
        }
    }
}
