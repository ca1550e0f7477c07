#include "RenderText.h"
#include "TempFolder.h"
#include "server/PictureDecoder.h"
#include "server/engine/EngineRegistry.h"
#include "server/engine/TesseractEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace kelsor::server;
using kelsor::test::TempFolder;

namespace {

DecodedPicture Render(const std::vector<std::string>& lines, int pixelSize) {
    TempFolder dir;
    const std::string path = dir.file("p.png");
    EXPECT_TRUE(kelsor::test::RenderTextPicture(lines, pixelSize, path));
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    DecodedPicture picture;
    std::string message;
    EXPECT_EQ(DecodePicture(bytes.str(), picture, message), PictureError::None) << message;
    return picture;
}

std::vector<std::string> Words(const std::vector<TextBlock>& lines) {
    std::vector<std::string> words;
    for (const TextBlock& line : lines) {
        words.push_back(line.words);
    }
    return words;
}

}  // namespace

TEST(TesseractEngine, OneBlockPerLineInReadingOrderWithoutSpacesBetweenChinese) {
    std::string error;
    auto engine = TesseractEngine::Create(error);
    ASSERT_TRUE(engine) << error;
    const DecodedPicture picture = Render({"文字识别测试", "Hello World"}, 40);
    std::vector<TextBlock> lines;
    ASSERT_TRUE(engine->Recognize(picture, lines, error)) << error;
    EXPECT_EQ(Words(lines), (std::vector<std::string>{"文字识别测试", "Hello World"}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LT(lines[0].location[2][1], lines[1].location[0][1] + 5);
    EXPECT_LE(lines[0].location[2][0], picture.width);
}

TEST(TesseractEngine, SmallTextIsUpscaledAndLocationsStayInThePicture) {
    std::string error;
    auto engine = TesseractEngine::Create(error);
    ASSERT_TRUE(engine) << error;
    const DecodedPicture picture = Render({"Settings and Preferences"}, 12);
    std::vector<TextBlock> lines;
    ASSERT_TRUE(engine->Recognize(picture, lines, error)) << error;
    EXPECT_EQ(Words(lines), (std::vector<std::string>{"Settings and Preferences"}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LE(lines[0].location[2][0], picture.width);
    EXPECT_LE(lines[0].location[2][1], picture.height);
}

TEST(TesseractEngine, BlankPictureGivesNoLines) {
    std::string error;
    auto engine = TesseractEngine::Create(error);
    ASSERT_TRUE(engine) << error;
    DecodedPicture blank{200, 100, std::vector<std::uint8_t>(200 * 100 * 3, 255)};
    std::vector<TextBlock> lines{TextBlock{}};
    ASSERT_TRUE(engine->Recognize(blank, lines, error));
    EXPECT_TRUE(lines.empty());
}

TEST(EngineRegistry, NamesTesseractAndRefusesUnavailableEngines) {
    EngineFactory factory;
    std::string error;
    EXPECT_TRUE(FindEngineFactory("tesseract", factory, error));
    const auto available = AvailableEngines();
    const bool ppocrBuilt =
        std::find(available.begin(), available.end(), "ppocr") != available.end();
    EXPECT_EQ(FindEngineFactory("ppocr", factory, error), ppocrBuilt);
    if (!ppocrBuilt) {
        EXPECT_NE(error.find("not available"), std::string::npos);
    }
    EXPECT_FALSE(FindEngineFactory("magic", factory, error));
}

TEST(TesseractEngine, LinesRunAcrossAGutterAreCutBetweenTheirWords) {
    // Two columns of five rows with a gutter of 30 pixels, words of 60 with
    // spaces of 10; Tesseract ran the third row across the gutter. Above the
    // columns, set apart by white, a heading across both.
    std::vector<TextBlock> lines;
    std::vector<std::vector<LineWord>> words;
    auto add = [&](int left, int right, int top, const std::string& word, bool join) {
        if (!join) {
            lines.emplace_back().location = {
                {{left, top}, {right, top}, {right, top + 20}, {left, top + 20}}};
            words.emplace_back();
        }
        lines.back().location[1][0] = lines.back().location[2][0] = right;
        for (int x = left; x + 60 <= right; x += 70) {
            words.back().push_back({word, double(x), double(x + 60)});
            lines.back().words += (lines.back().words.empty() ? "" : " ") + word;
        }
    };
    add(0, 850, 0, "H", false);
    for (int row = 1; row <= 5; ++row) {
        add(0, 410, 30 * row + 30, row == 3 ? "m" : "l", false);
        add(440, 850, 30 * row + 30, row == 3 ? "n" : "r", row == 3);
    }
    const std::string heading = lines.front().words;
    SplitAtGutters(lines, words, 0.0);
    const std::vector<std::string> texts = Words(lines);
    ASSERT_EQ(texts.size(), 11u);
    EXPECT_EQ(texts[0], heading);
    EXPECT_EQ(texts[5], "m m m m m m");
    EXPECT_EQ(texts[6], "n n n n n n");
    EXPECT_EQ(lines[6].location[0][0], 440);
}
