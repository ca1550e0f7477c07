// One line of screen text cut as a user selects it, from touching its ink to
// 40 px of margin: the same text whatever the margin, through the engines
// and through a kelsor-server started here, every box inside the picture.
#include "LocalService.h"
#include "TempFolder.h"
#include "cloud/RecognizePictureText.h"
#include "server/engine/TesseractEngine.h"
#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/eval/EvalSet.h"
#include "server/ppocr/eval/TextPicture.h"

#include <gtest/gtest.h>

#include <functional>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

using namespace kelsor::server;
using namespace kelsor::server::ppocr;

namespace {

struct LineCase {
    std::string text;
    bool latinFace;
    int pixelHeight;
    TextColours colours;
};

const TextColours kLight{{0x20, 0x21, 0x24}, {0xFF, 0xFF, 0xFF}};
const TextColours kGrey{{0x1F, 0x1F, 0x1F}, {0xC8, 0xC8, 0xC8}};
const TextColours kDark{{0xD4, 0xD4, 0xD4}, {0x1E, 0x1E, 0x1E}};
const TextColours kBlue{{0xFF, 0xFF, 0xFF}, {0x0A, 0x64, 0xAD}};

// Chinese, English and mixed lines from UI size (13 px glyphs: a tight cut
// 14 px high) to large, on light, grey, dark and coloured grounds.
const LineCase kLines[] = {
    {"最近打开的文件", false, 13, kLight},
    {"To facilitate the screenshot type analysis", true, 16, kGrey},
    {"系统设置 Settings 已保存", false, 22, kDark},
    {"文件名 report-2024.pdf 已下载", false, 15, kBlue},
};

// The margins a selection may leave around the line.
const int kMargins[] = {0, 1, 2, 4, 8, 20, 40};

DecodedPicture Cut(const LineCase& line, int margin) {
    const auto faces = line.latinFace ? LatinFaces() : ChineseFaces();
    DecodedPicture rendered;
    std::string error;
    EXPECT_FALSE(faces.empty());
    EXPECT_TRUE(RenderTextPicture({line.text}, faces.at(0), line.pixelHeight, rendered, error,
                                  line.colours))
        << error;
    return CutAroundInk(rendered, margin, margin, margin, margin);
}

// One string for the lines, and whether every corner is inside `picture`.
std::string Read(RecognitionEngine& engine, const DecodedPicture& picture, bool& inside) {
    std::vector<TextBlock> lines;
    std::string error;
    EXPECT_TRUE(engine.Recognize(picture, lines, error)) << error;
    std::string text;
    inside = true;
    for (const TextBlock& line : lines) {
        text += (text.empty() ? "" : "\n") + line.words;
        for (const auto& corner : line.location) {
            inside = inside && corner[0] >= 0 && corner[0] < picture.width && corner[1] >= 0 &&
                     corner[1] < picture.height;
        }
    }
    return text;
}

// At most one character in ten read wrong.
void ExpectCloseTo(const std::string& truth, const std::string& text, const std::string& what) {
    const ErrorCount errors = CountErrors(truth, text);
    EXPECT_LE(errors.edits * 10, errors.characters) << what << ": " << text;
}

// `line` cut with each margin and read by `read` (which says whether every
// box lay inside the picture): close to its text and every box inside; with
// `sameText`, word for word the same text at every margin, spaces included.
void ExpectReadWhateverTheMargin(
    const LineCase& line, const std::function<std::string(const DecodedPicture&, bool&)>& read,
    bool sameText) {
    std::string first;
    for (const int margin : kMargins) {
        const DecodedPicture picture = Cut(line, margin);
        const std::string what = line.text + " with " + std::to_string(margin) + " px, " +
                                 std::to_string(picture.height) + " px high";
        bool inside = false;
        const std::string text = read(picture, inside);
        EXPECT_TRUE(inside) << what;
        ExpectCloseTo(line.text, text, what);
        if (margin == kMargins[0]) {
            first = text;
        } else if (sameText) {
            EXPECT_EQ(text, first) << what;
        }
    }
}

}  // namespace

TEST(TightLine, DefaultEngineReadsTheSameTextWhateverTheMargin) {
    std::string error;
    auto engine = CreateDefaultPpOcrEngine(error);
    ASSERT_TRUE(engine) << error;
    const auto read = [&](const DecodedPicture& picture, bool& inside) {
        return Read(*engine, picture, inside);
    };
    for (const LineCase& line : kLines) {
        ExpectReadWhateverTheMargin(line, read, true);
    }
}

TEST(TightLine, ScannedLineCutThroughItsGlyphsIsReadWhole) {
    // A line of a scanned page cut out tight, about 700 px long: JPEG noise
    // on the paper, glyph tops and descenders at the picture's edges (the
    // detector alone read its first word).
    const LineCase line{
        "Detection finds pieces of a line whose glyphs touch the edges of it, 1234.", true, 17,
        kLight};
    const DecodedPicture cut = Cut(line, 0);
    const cv::Mat rgb(cut.height, cut.width, CV_8UC3, const_cast<std::uint8_t*>(cut.rgb.data()));
    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", rgb, jpeg, {cv::IMWRITE_JPEG_QUALITY, 60}));
    const cv::Mat scanned = cv::imdecode(jpeg, cv::IMREAD_COLOR);
    DecodedPicture picture{scanned.cols, scanned.rows, {}};
    picture.rgb.assign(scanned.data, scanned.data + scanned.total() * 3);
    std::string error;
    auto engine = CreateDefaultPpOcrEngine(error);
    ASSERT_TRUE(engine) << error;
    bool inside = false;
    const std::string text = Read(*engine, picture, inside);
    EXPECT_TRUE(inside);
    const ErrorCount errors = CountErrors(line.text, text);
    EXPECT_LE(errors.edits * 30, errors.characters)
        << picture.width << " x " << picture.height << ": " << text;
}

TEST(TightLine, TightLineOnAGradientIsRead) {
    // A title bar's gradient, the text touching its top and bottom: the
    // margin takes the edges' middle colour (the detector alone read
    // nothing).
    const LineCase line{"To facilitate the screenshot type analysis", true, 18, kLight};
    DecodedPicture picture = Cut(line, 0);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            std::uint8_t* px = &picture.rgb[(static_cast<std::size_t>(y) * picture.width + x) * 3];
            const int shade = 255 - 150 * y / picture.height;
            for (int c = 0; c < 3; ++c) {
                px[c] = px[c] == 0xFF ? static_cast<std::uint8_t>(shade) : px[c];
            }
        }
    }
    std::string error;
    auto engine = CreateDefaultPpOcrEngine(error);
    ASSERT_TRUE(engine) << error;
    bool inside = false;
    const std::string text = Read(*engine, picture, inside);
    EXPECT_TRUE(inside);
    ExpectCloseTo(line.text, text, "on a gradient");
}

TEST(TightLine, TesseractReadsATightLineAsWellAsOneWithAMargin) {
    std::string error;
    auto engine = TesseractEngine::Create(error);
    ASSERT_TRUE(engine) << error;
    // Tesseract reads small Chinese poorly with any margin; its English and
    // larger mixed lines are held to the same bound at every margin.
    const auto read = [&](const DecodedPicture& picture, bool& inside) {
        return Read(*engine, picture, inside);
    };
    for (const LineCase& line : {kLines[1], kLines[2]}) {
        ExpectReadWhateverTheMargin(line, read, false);
    }
}

TEST(TightLine, ServiceReadsTheSameTextWhateverTheMargin) {
    kelsor::test::TempFolder dir;
    kelsor::test::LocalService service;
    std::string error;
    ASSERT_TRUE(
        service.StartSignedIn(KELSOR_SERVER_EXE, dir.path() + "/", {"--engines", "1"}, error))
        << error;
    // The service takes pictures of 15 px and more: UI lines of 14 and 20 px
    // glyphs, cut tight, are 15 to 21 px high.
    const LineCase lines[] = {{"最近打开的文件夹", false, 14, kLight},
                              {"保存为 PDF 文件", false, 20, kDark},
                              {"Open the settings window", true, 16, kGrey}};
    const auto read = [&](const DecodedPicture& p, bool& inside) {
        EXPECT_GE(p.height, 15);
        const cv::Mat rgb(p.height, p.width, CV_8UC3, const_cast<std::uint8_t*>(p.rgb.data()));
        cv::Mat bgr;
        cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
        EXPECT_TRUE(cv::imwrite(dir.file("line.png"), bgr));
        const auto placed = kelsor::RecognizePictureLines(dir.wide("line.png"));
        EXPECT_TRUE(placed.has_value()) << service.Log();
        std::string text;
        inside = true;
        for (const kelsor::PlacedLine& l : placed.value_or(std::vector<kelsor::PlacedLine>{})) {
            text += (text.empty() ? "" : "\n") + l.words;
            for (const auto& corner : l.location) {
                inside = inside && corner[0] >= 0 && corner[0] < p.width && corner[1] >= 0 &&
                         corner[1] < p.height;
            }
        }
        return text;
    };
    for (const LineCase& line : lines) {
        ExpectReadWhateverTheMargin(line, read, true);
    }
}
