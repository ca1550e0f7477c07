#include <gtest/gtest.h>

#include <random>

#include "PpOcrEngineSuite.h"
#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/eval/TextPicture.h"

using namespace kelsor::server;
using namespace kelsor::server::ppocr;

namespace {

DecodedPicture Filled(int width, int height, std::uint8_t value) {
    DecodedPicture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.assign(static_cast<std::size_t>(width) * height * 3, value);
    return picture;
}

class PpOcrBadPicture : public PpOcrEngineSuite {
protected:
    // Either lines or a stated error; the engine stays usable afterwards.
    static std::vector<TextBlock> Survives(const DecodedPicture& picture) {
        std::vector<TextBlock> lines;
        std::string error;
        if (!Engine()->Recognize(picture, lines, error)) {
            EXPECT_FALSE(error.empty());
            EXPECT_TRUE(lines.empty());
        }
        return lines;
    }
};

}  // namespace

TEST_F(PpOcrBadPicture, PlainPicturesHoldNoText) {
    for (const auto& picture : {Filled(640, 480, 255), Filled(640, 480, 0), Filled(15, 15, 255),
                                Filled(15, 15, 0), Filled(1, 1, 128), Filled(1, 3000, 255)}) {
        std::vector<TextBlock> lines;
        std::string error;
        EXPECT_TRUE(Engine()->Recognize(picture, lines, error)) << error;
        EXPECT_TRUE(lines.empty()) << picture.width << "x" << picture.height;
    }
}

TEST_F(PpOcrBadPicture, NoiseAndExtremeShapesNeverCrash) {
    std::mt19937 random(7);
    DecodedPicture noise = Filled(800, 600, 0);
    for (auto& byte : noise.rgb) {
        byte = static_cast<std::uint8_t>(random());
    }
    Survives(noise);
    Survives(Filled(8192, 40, 255));
    Survives(Filled(40, 8192, 0));

    // A text line in an 8192-pixel-wide picture is still found.
    DecodedPicture line;
    std::string error;
    ASSERT_TRUE(
        RenderTextPicture({"海内存知己，天涯若比邻。"}, ChineseFaces().at(0), 28, line, error));
    DecodedPicture wide = Filled(8192, line.height, 255);
    for (int y = 0; y < line.height; ++y) {
        std::copy_n(&line.rgb[static_cast<std::size_t>(y) * line.width * 3], line.width * 3,
                    &wide.rgb[static_cast<std::size_t>(y) * 8192 * 3]);
    }
    const auto lines = Survives(wide);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].words.find("天涯"), std::string::npos) << lines[0].words;
}

TEST_F(PpOcrBadPicture, InconsistentPicturesAreRefusedWithAReason) {
    std::vector<TextBlock> lines;
    std::string error;
    EXPECT_FALSE(Engine()->Recognize(DecodedPicture{}, lines, error));
    EXPECT_EQ(error, "the picture is empty");

    DecodedPicture shortData = Filled(100, 100, 255);
    shortData.rgb.resize(100);
    EXPECT_FALSE(Engine()->Recognize(shortData, lines, error));
    EXPECT_EQ(error, "the picture data does not match its size");

    DecodedPicture negative = Filled(10, 10, 255);
    negative.width = -10;
    EXPECT_FALSE(Engine()->Recognize(negative, lines, error));

    DecodedPicture huge;
    huge.width = 200000;
    huge.height = 100000;
    EXPECT_FALSE(Engine()->Recognize(huge, lines, error));
    EXPECT_EQ(error, "the picture is too large");

    // Still fine after the refusals.
    EXPECT_TRUE(Engine()->Recognize(Filled(64, 64, 255), lines, error)) << error;
}
