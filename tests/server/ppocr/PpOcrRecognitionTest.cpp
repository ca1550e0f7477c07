#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <opencv2/core.hpp>

#include "PpOcrEngineSuite.h"
#include "server/engine/EnginePool.h"
#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/eval/EvalSet.h"
#include "server/ppocr/eval/TextPicture.h"
#include "server/ppocr/eval/VerticalPages.h"

using namespace kelsor::server;
using namespace kelsor::server::ppocr;

namespace {

struct Case {
    std::vector<std::string> lines;
    bool chinese = true;
    std::size_t face = 0;
    int pixelHeight = 24;
};

// Classical poems and English proverbs, in several faces, sizes and line counts.
const std::vector<Case> kCases = {
    {{"床前明月光，疑是地上霜。"}, true, 0, 24},
    {{"白日依山尽，黄河入海流。", "欲穷千里目，更上一层楼。"}, true, 1, 32},
    {{"春眠不觉晓，处处闻啼鸟。", "夜来风雨声，花落知多少。", "千山鸟飞绝，万径人踪灭。"},
     true,
     2,
     20},
    {{"独在异乡为异客，每逢佳节倍思亲。", "遥知兄弟登高处，遍插茱萸少一人。"}, true, 3, 18},
    {{"Brevity is the soul of wit.", "All that glitters is not gold."}, false, 0, 20},
    {{"Fortune favours the brave, 1597."}, false, 1, 28},
};

class PpOcrRecognition : public PpOcrEngineSuite {
protected:
    static DecodedPicture Render(const Case& c) {
        const auto faces = c.chinese ? ChineseFaces() : LatinFaces();
        DecodedPicture picture;
        std::string error;
        EXPECT_FALSE(faces.empty());
        EXPECT_TRUE(
            RenderTextPicture(c.lines, faces[c.face % faces.size()], c.pixelHeight, picture, error))
            << error;
        return picture;
    }
};

}  // namespace

TEST_F(PpOcrRecognition, RenderedSetStaysWithinTheErrorBound) {
    ErrorCount total;
    for (const Case& c : kCases) {
        const DecodedPicture picture = Render(c);
        std::vector<TextBlock> lines;
        std::string error;
        ASSERT_TRUE(Engine()->Recognize(picture, lines, error)) << error;
        // One block per line, in reading order, each in its place.
        ASSERT_EQ(lines.size(), c.lines.size()) << RecognisedText(lines);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const ErrorCount lineErrors = CountErrors(c.lines[i], lines[i].words);
            EXPECT_LE(lineErrors.edits * 4, lineErrors.characters)
                << "expected " << c.lines[i] << " got " << lines[i].words;
            EXPECT_GT(lines[i].confidence, 0.5);
            EXPECT_LE(lines[i].confidence, 1.0);
            const auto& loc = lines[i].location;
            EXPECT_LT(loc[0][0], loc[1][0]);
            EXPECT_LT(loc[0][1], loc[3][1]);
            for (const auto& corner : loc) {
                EXPECT_GE(corner[0], 0);
                EXPECT_LT(corner[0], picture.width);
                EXPECT_GE(corner[1], 0);
                EXPECT_LT(corner[1], picture.height);
            }
            if (i > 0) {
                EXPECT_GT(loc[0][1], lines[i - 1].location[0][1]);
            }
        }
        std::string reference;
        for (const auto& l : c.lines) {
            reference += l + "\n";
        }
        const ErrorCount count = CountErrors(reference, RecognisedText(lines));
        total.edits += count.edits;
        total.characters += count.characters;
    }
    // Measured at one error in about 180 characters.
    EXPECT_LE(total.edits * 100, total.characters * 3)
        << total.edits << " errors in " << total.characters << " characters";
}

TEST_F(PpOcrRecognition, EnginesOnSeparateThreadsAgreeWithOneThread) {
    const DecodedPicture picture = Render(kCases[2]);
    std::vector<TextBlock> expected;
    std::string error;
    ASSERT_TRUE(Engine()->Recognize(picture, expected, error)) << error;

    auto second = PpOcrEngine::Create(PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()), error);
    ASSERT_NE(second, nullptr) << error;
    std::vector<std::string> results(2);
    std::vector<std::thread> threads;
    RecognitionEngine* engines[2] = {Engine().get(), second.get()};
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                std::vector<TextBlock> lines;
                std::string threadError;
                if (engines[t]->Recognize(picture, lines, threadError)) {
                    results[t] = RecognisedText(lines);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(results[0], RecognisedText(expected));
    EXPECT_EQ(results[1], RecognisedText(expected));
}

TEST_F(PpOcrRecognition, ReportsItsName) {
    EXPECT_EQ(Engine()->Name(), "ppocr");
    std::string reason;
    EXPECT_TRUE(PpOcrInstalled(reason)) << reason;
}

namespace {

DecodedPicture Turned(const DecodedPicture& picture, int quarters) {
    if (quarters == 0) {
        return picture;
    }
    const cv::Mat from(picture.height, picture.width, CV_8UC3,
                       const_cast<std::uint8_t*>(picture.rgb.data()));
    cv::Mat to;
    cv::rotate(from, to,
               quarters == 1   ? cv::ROTATE_90_CLOCKWISE
               : quarters == 2 ? cv::ROTATE_180
                               : cv::ROTATE_90_COUNTERCLOCKWISE);
    DecodedPicture turned{to.cols, to.rows, {}};
    turned.rgb.assign(to.data, to.data + to.total() * 3);
    return turned;
}

}  // namespace

TEST_F(PpOcrRecognition, TurnedPagesAreReadUpright) {
    // Each case at every quarter turn: the lines come back in reading order,
    // the text right, the corners inside the picture as it was sent.
    for (const Case& c : {kCases[2], kCases[4]}) {
        const DecodedPicture upright = Render(c);
        for (int quarters = 0; quarters < 4; ++quarters) {
            const DecodedPicture picture = Turned(upright, quarters);
            std::vector<TextBlock> lines;
            std::string error;
            ASSERT_TRUE(Engine()->Recognize(picture, lines, error)) << error;
            ASSERT_EQ(lines.size(), c.lines.size())
                << quarters << " quarters: " << RecognisedText(lines);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const ErrorCount errors = CountErrors(c.lines[i], lines[i].words);
                EXPECT_LE(errors.edits * 10, errors.characters)
                    << quarters << " quarters: expected " << c.lines[i] << " got "
                    << lines[i].words;
                for (const auto& corner : lines[i].location) {
                    EXPECT_TRUE(corner[0] >= 0 && corner[0] < picture.width && corner[1] >= 0 &&
                                corner[1] < picture.height);
                }
            }
        }
    }
}

TEST_F(PpOcrRecognition, SmallTextIsReadWhereverItSitsOnAScreen) {
    // A window capture: menu-size lines at the top left and bottom right, a
    // heading between them. Each is read, and its corners are where it was
    // drawn.
    struct Placed {
        std::string line;
        int pixelHeight;
        cv::Point at;
    };
    const Placed placed[] = {{"最近打开的文件", 14, {40, 30}},
                             {"系统设置", 40, {800, 480}},
                             {"Save a copy as PDF", 15, {1500, 1000}}};
    cv::Mat screen(1080, 1920, CV_8UC3, cv::Scalar(240, 240, 240));
    for (const Placed& p : placed) {
        DecodedPicture text;
        std::string error;
        ASSERT_TRUE(RenderTextPicture({p.line}, ChineseFaces().at(0), p.pixelHeight, text, error,
                                      {{0x20, 0x20, 0x20}, {240, 240, 240}}))
            << error;
        const cv::Mat from(text.height, text.width, CV_8UC3, text.rgb.data());
        from.copyTo(screen(cv::Rect(p.at, from.size())));
    }
    DecodedPicture picture{screen.cols, screen.rows, {}};
    picture.rgb.assign(screen.data, screen.data + screen.total() * 3);
    std::vector<TextBlock> lines;
    std::string error;
    ASSERT_TRUE(Engine()->Recognize(picture, lines, error)) << error;
    ASSERT_EQ(lines.size(), std::size(placed)) << RecognisedText(lines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ErrorCount errors = CountErrors(placed[i].line, lines[i].words);
        EXPECT_LE(errors.edits * 10, errors.characters) << lines[i].words;
        const auto& topLeft = lines[i].location[0];
        EXPECT_NEAR(topLeft[0], placed[i].at.x + placed[i].pixelHeight, placed[i].pixelHeight);
        EXPECT_NEAR(topLeft[1], placed[i].at.y + placed[i].pixelHeight, placed[i].pixelHeight);
    }
}

TEST_F(PpOcrRecognition, ChineseInColumnsIsNotTakenForATurnedPage) {
    const std::vector<std::string> column = {"白", "日", "依", "山", "尽",
                                             "黄", "河", "入", "海", "流"};
    DecodedPicture picture;
    std::string error;
    ASSERT_TRUE(RenderColumnPicture(column, ChineseFaces().at(0), 28, picture, error)) << error;
    std::vector<TextBlock> lines;
    ASSERT_TRUE(Engine()->Recognize(picture, lines, error)) << error;
    const ErrorCount errors = CountErrors("白日依山尽黄河入海流", RecognisedText(lines));
    EXPECT_LE(errors.edits * 5, errors.characters) << RecognisedText(lines);
}

TEST_F(PpOcrRecognition, VerticalPagesComeColumnByColumnFromTheRightInTallBoxes) {
    // A title over columns with the horizontal marks in their cells; columns
    // set close with their punctuation in vertical forms over a footer.
    struct Page {
        std::vector<std::string> columns;
        VerticalPageOptions options;
    };
    VerticalPageOptions titled;
    titled.title = "《登鹳雀楼》";
    titled.pixelHeight = 32;
    titled.verticalPunctuation = false;
    VerticalPageOptions footed;
    footed.footer = "第三页";
    footed.pixelHeight = 28;
    footed.characterStep = 1.0;
    footed.columnStep = 1.4;
    const Page pages[] = {
        {{"白日依山尽，", "黄河入海流。", "欲穷千里目，", "更上一层楼。"}, titled},
        {{"春眠不觉晓，处处闻啼鸟。", "夜来风雨声，花落知多少。"}, footed},
    };
    for (std::size_t p = 0; p < std::size(pages); ++p) {
        SCOPED_TRACE(p);
        DecodedPicture picture;
        std::string error;
        ASSERT_TRUE(RenderVerticalPage(pages[p].columns, ChineseFaces().at(p), pages[p].options,
                                       picture, error))
            << error;
        std::vector<TextBlock> lines;
        ASSERT_TRUE(Engine()->Recognize(picture, lines, error)) << error;
        std::vector<std::string> expected = pages[p].columns;
        if (!pages[p].options.title.empty()) {
            expected.insert(expected.begin(), pages[p].options.title);
        }
        if (!pages[p].options.footer.empty()) {
            expected.push_back(pages[p].options.footer);
        }
        ASSERT_EQ(RecognisedText(lines), LinesText(expected));
        // Each column's location is its tall box, the next one to its left.
        double right = picture.width;
        for (const TextBlock& line : lines) {
            const double width = line.location[1][0] - line.location[0][0];
            const double height = line.location[3][1] - line.location[0][1];
            if (line.words == pages[p].options.title || line.words == pages[p].options.footer) {
                EXPECT_GT(width, height) << line.words;
                continue;
            }
            EXPECT_GT(height, 3 * width) << line.words;
            EXPECT_LT(line.location[1][0], right) << line.words;
            right = line.location[0][0];
        }
    }
}

TEST_F(PpOcrRecognition, VerticalPoemCutTightOnAnySideReadsInColumns) {
    // Short columns set apart, as users cut them from a page: tight on one
    // side or all round, the detector boxes the characters alone or a few
    // together, with the commas alone; the columns still come whole, from
    // the right.
    const std::vector<std::string> columns = {"床前明月光，", "疑是地上霜。", "举头望明月，",
                                              "低头思故乡。"};
    VerticalPageOptions options;
    options.columns = 4;
    options.pixelHeight = 34;
    options.characterStep = 1.35;
    options.columnStep = 2.2;
    options.verticalPunctuation = false;
    DecodedPicture page;
    std::string error;
    ASSERT_TRUE(RenderVerticalPage(columns, ChineseFaces().at(1), options, page, error)) << error;
    struct Cut {
        int left, top, right, bottom;
    };
    const Cut cuts[] = {
        {30, 30, 30, 30}, {30, 0, 30, 30},  {30, 2, 30, 30},  {30, 8, 30, 30},  {30, 15, 30, 30},
        {30, 30, 30, 0},  {30, 30, 30, 8},  {30, 30, 30, 15}, {0, 30, 30, 30},  {8, 30, 30, 30},
        {15, 30, 30, 30}, {30, 30, 0, 30},  {30, 30, 8, 30},  {30, 30, 15, 30}, {0, 0, 0, 0},
        {5, 5, 5, 5},     {12, 12, 12, 12},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(testing::Message() << "margins left " << cut.left << " top " << cut.top
                                        << " right " << cut.right << " bottom " << cut.bottom);
        const DecodedPicture picture = CutAroundInk(page, cut.left, cut.top, cut.right, cut.bottom);
        std::vector<TextBlock> lines;
        ASSERT_TRUE(Engine()->Recognize(picture, lines, error)) << error;
        EXPECT_EQ(RecognisedText(lines), LinesText(columns));
        for (const TextBlock& line : lines) {
            EXPECT_GT(line.location[3][1] - line.location[0][1],
                      3 * (line.location[1][0] - line.location[0][0]))
                << line.words;
        }
    }
}

TEST_F(PpOcrRecognition, PooledEnginesShareIdleCoresWithoutChangingTheText) {
    // Ten lines: a lone request spreads them over the pool's idle engine.
    Case many = kCases[4];
    while (many.lines.size() < 10) {
        many.lines.push_back(kCases[4].lines[many.lines.size() % 2]);
    }
    const DecodedPicture picture = Render(many);
    std::vector<TextBlock> expected;
    std::string error;
    ASSERT_TRUE(Engine()->Recognize(picture, expected, error)) << error;

    EnginePool pool;
    ASSERT_TRUE(pool.Start(CreateDefaultPpOcrEngine, 2, error)) << error;
    std::atomic<bool> same{true};
    std::thread lone([&] {
        for (int round = 0; round < 3; ++round) {
            std::vector<TextBlock> lines;
            std::string threadError;
            same = same && pool.Acquire()->Recognize(picture, lines, threadError) &&
                   RecognisedText(lines) == RecognisedText(expected);
        }
    });
    // Requests that arrive meanwhile get an engine (the lent core comes back).
    for (int round = 0; round < 3; ++round) {
        std::vector<TextBlock> lines;
        EXPECT_TRUE(pool.Acquire()->Recognize(picture, lines, error)) << error;
        EXPECT_EQ(RecognisedText(lines), RecognisedText(expected));
    }
    lone.join();
    EXPECT_TRUE(same);
}
