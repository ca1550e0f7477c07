#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "server/layout/ReadingOrder.h"
#include "server/ppocr/CtcDecoder.h"
#include "server/ppocr/DbPostProcess.h"
#include "server/ppocr/PpOcrEngine.h"
#include "server/ppocr/PpOcrModels.h"
#include "server/ppocr/eval/TextPicture.h"

using namespace kelsor::server::ppocr;

namespace {

const std::vector<std::string> kLabels = {"", "a", "b", "c", " "};

// One-hot-ish rows: the given class gets `p`, the rest share what is left.
std::vector<float> Rows(const std::vector<int>& best, float p = 0.9f) {
    const int classes = static_cast<int>(kLabels.size());
    std::vector<float> rows;
    for (int b : best) {
        for (int c = 0; c < classes; ++c) {
            rows.push_back(c == b ? p : (1.0f - p) / (classes - 1));
        }
    }
    return rows;
}

}  // namespace

TEST(PpOcrCtcDecode, CollapsesRepeatsAndDropsBlanks) {
    const auto rows = Rows({0, 1, 1, 0, 1, 2, 2, 4, 3, 0});
    const DecodedLine line = GreedyCtcDecode(rows.data(), 10, 5, kLabels);
    EXPECT_EQ(line.text, "aab c");
    EXPECT_NEAR(line.confidence, 0.9, 1e-6);
}

TEST(PpOcrCtcDecode, OnlyBlanksGiveNothing) {
    const auto rows = Rows({0, 0, 0});
    const DecodedLine line = GreedyCtcDecode(rows.data(), 3, 5, kLabels);
    EXPECT_TRUE(line.text.empty());
    EXPECT_EQ(line.confidence, 0.0);
    EXPECT_TRUE(GreedyCtcDecode(nullptr, 0, 5, kLabels).text.empty());
}

TEST(PpOcrCtcDecode, LogitsAreTurnedIntoProbabilities) {
    // Logits: class 2 wins with softmax probability e^2/(e^2+4).
    const std::vector<float> logits = {0.0f, 0.0f, 2.0f, 0.0f, 0.0f};
    const DecodedLine line = GreedyCtcDecode(logits.data(), 1, 5, kLabels);
    EXPECT_EQ(line.text, "b");
    EXPECT_NEAR(line.confidence, std::exp(2.0) / (std::exp(2.0) + 4.0), 1e-5);
}

TEST(PpOcrCtcDecode, ClassesBeyondTheLabelsAreIgnored) {
    const std::vector<float> rows = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    EXPECT_TRUE(GreedyCtcDecode(rows.data(), 1, 6, kLabels).text.empty());
}

TEST(PpOcrCtcDecode, LikelySpacesBetweenLatinCharactersAreKept) {
    const std::vector<std::string> labels = {"", "a", "b", "甲", "乙", " "};
    // a, a blank frame in which the space reached 0.3, b, a plain blank, a.
    const std::vector<float> rows = {0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f,  //
                                     0.7f, 0.0f, 0.0f, 0.0f, 0.0f, 0.3f,  //
                                     0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f,  //
                                     1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,  //
                                     0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    EXPECT_EQ(GreedyCtcDecode(rows.data(), 5, 6, labels).text, "aba");
    EXPECT_EQ(GreedyCtcDecode(rows.data(), 5, 6, labels, 0.1f).text, "a ba");
    EXPECT_EQ(GreedyCtcDecode(rows.data(), 5, 6, labels, 0.5f).text, "aba");
    // Between Chinese and Latin too, but never inside Chinese text.
    std::vector<float> mixed = rows;
    std::swap(mixed[1], mixed[3]);
    EXPECT_EQ(GreedyCtcDecode(mixed.data(), 5, 6, labels, 0.1f).text, "甲 ba");
    std::swap(mixed[12 + 2], mixed[12 + 4]);
    EXPECT_EQ(GreedyCtcDecode(mixed.data(), 5, 6, labels, 0.1f).text, "甲乙a");
}

namespace {

// Frames written as text: one character per frame, '.' a blank frame, '_'
// the space class, A and B two Chinese characters; others are themselves.
struct SpaceCase {
    const char* frames;
    const char* blankColumns;  // two per frame ('1' = no ink); empty: none given
    const char* text;
};

DecodedLine DecodeFrames(const SpaceCase& c) {
    static const std::vector<std::string> labels = {"", "a", "b", "c", "1", ",", "甲", "乙", " "};
    const std::string frames = c.frames;
    const int classes = static_cast<int>(labels.size());
    std::vector<float> rows;
    for (char f : frames) {
        const std::string label = f == '.'   ? ""
                                  : f == '_' ? " "
                                  : f == 'A' ? "甲"
                                  : f == 'B' ? "乙"
                                             : std::string(1, f);
        const auto at = std::find(labels.begin(), labels.end(), label) - labels.begin();
        for (int k = 0; k < classes; ++k) {
            rows.push_back(k == at ? 1.0f : 0.0f);
        }
    }
    std::vector<std::uint8_t> blank;
    for (const char* b = c.blankColumns; *b != '\0'; ++b) {
        blank.push_back(*b == '1' ? 1 : 0);
    }
    return GreedyCtcDecode(rows.data(), static_cast<int>(frames.size()), classes, labels, 0.1f,
                           0.5f, blank.empty() ? nullptr : &blank);
}

}  // namespace

TEST(PpOcrCtcDecode, WideGapsBetweenLatinCharactersAreWordSpaces) {
    // Letters two frames apart; half a letter farther is a space.
    const SpaceCase cases[] = {
        {"a.b.c.a.....b.c", "", "abca bc"},
        {"a.b.c.a..b.c", "", "abca bc"},
        {"a.b.c.ab.c", "", "abcabc"},
        {"a.b...a", "", "aba"},  // too few letters to know their width
        // Never inside Chinese text, not even where the model put a space.
        {"a.b.c.A.....B", "", "abc甲乙"},
        {"A._.B.a.b", "", "甲乙ab"},
        {"a.b.c.A_a.b", "", "abc甲 ab"},
        // After a comma, and between digits.
        {"a.b.c.a,.....a", "", "abca, a"},
        {"1.1.1.1.....1", "", "1111 1"},
        // Ink decides where the frames cannot: a blank run of columns between
        // the letters makes a space, ink all the way does not.
        {"a.b.c.a.b.c", "0000000000001100000000", "abca bc"},
        {"a.b.c.a.....b.c", "000000000000000000000000000000", "abcabc"},
    };
    for (const SpaceCase& c : cases) {
        EXPECT_EQ(DecodeFrames(c).text, c.text) << c.frames << " / " << c.blankColumns;
    }
}

TEST(PpOcrErrorRate, WhiteSpaceCountsAsAReaderSeesIt) {
    struct Case {
        const char* reference;
        const char* recognised;
        long long edits;            // white space ignored
        long long spaceAwareEdits;  // word spaces counted
    };
    const Case cases[] = {
        {"Hello world", "Helloworld", 0, 1},
        {"Hello \t world", "Hello world", 0, 0},
        {"中文 Hello 世界", "中文Hello世界", 0, 0},
        {"ＡＢ，中", "AB,中", 0, 0},
        // Indentation with no-break or ideographic spaces is white space too.
        {"\u00A0\u00A0\u00A0 Tc de", "Tc de", 0, 0},
        {"a\u3000b\u202Fc", "a b c", 0, 0},
        {"a\u00A0b", "ab", 0, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountErrors(c.reference, c.recognised).edits, c.edits) << c.reference;
        EXPECT_EQ(CountSpaceAwareErrors(c.reference, c.recognised).edits, c.spaceAwareEdits)
            << c.reference;
    }
}

TEST(PpOcrDbPostProcess, CornersAreOrderedClockwiseFromTopLeft) {
    for (float angle : {0.0f, 10.0f, -10.0f, 90.0f}) {
        const auto c = OrderedCorners(cv::RotatedRect({50, 20}, {80, 20}, angle));
        EXPECT_LT(c[0].x, c[1].x) << angle;
        EXPECT_LT(c[3].x, c[2].x) << angle;
        EXPECT_LT(c[0].y, c[3].y) << angle;
        EXPECT_LT(c[1].y, c[2].y) << angle;
    }
}

TEST(PpOcrDbPostProcess, UnclipGrowsEverySideByTheSameDistance) {
    const cv::RotatedRect grown = Unclip(cv::RotatedRect({0, 0}, {100, 20}, 0), 1.5f);
    // distance = area * ratio / perimeter = 2000 * 1.5 / 240 = 12.5
    EXPECT_NEAR(grown.size.width, 125.0f, 1e-3);
    EXPECT_NEAR(grown.size.height, 45.0f, 1e-3);
}

TEST(PpOcrDbPostProcess, FindsLinesInReadingOrderAndScalesThem) {
    cv::Mat map = cv::Mat::zeros(100, 200, CV_32FC1);
    map(cv::Rect(120, 10, 60, 10)) = 0.9f;  // first row, right
    map(cv::Rect(10, 12, 80, 10)) = 0.9f;   // first row, left
    map(cv::Rect(10, 60, 150, 12)) = 0.9f;  // second row
    map(cv::Rect(5, 90, 2, 2)) = 0.9f;      // a speck: too thin
    map(cv::Rect(100, 40, 30, 8)) = 0.4f;   // above the threshold, below the box score
    DbSettings settings;
    std::vector<TextBox> boxes = FindTextBoxes(map, settings, 2.0f, 2.0f, cv::Size(400, 200));
    std::vector<kelsor::server::layout::Quad> quads;
    for (const TextBox& box : boxes) {
        kelsor::server::layout::Quad& quad = quads.emplace_back();
        for (std::size_t i = 0; i < 4; ++i) {
            quad[i] = {box.corners[i].x, box.corners[i].y};
        }
    }
    kelsor::server::layout::ApplyOrder(boxes, kelsor::server::layout::ReadingOrder(quads));
    ASSERT_EQ(boxes.size(), 3u);
    // Each box covers its region, grown by the unclip distance (under 12 map
    // pixels here), in picture coordinates.
    EXPECT_LE(boxes[0].corners[0].x, 2 * 10);
    EXPECT_LE(boxes[1].corners[0].x, 2 * 120);
    EXPECT_GE(boxes[1].corners[0].x, 2 * (120 - 12));
    EXPECT_LE(boxes[2].corners[0].y, 2 * 60);
    EXPECT_GE(boxes[2].corners[0].y, 2 * (60 - 12));
    EXPECT_GE(boxes[2].corners[2].x, 2 * 159);
    for (const auto& box : boxes) {
        EXPECT_GT(box.score, 0.6f);
        for (const auto& p : box.corners) {
            EXPECT_GE(p.x, 0.0f);
            EXPECT_LE(p.x, 399.0f);
            EXPECT_GE(p.y, 0.0f);
            EXPECT_LE(p.y, 199.0f);
        }
    }
}

TEST(PpOcrDbPostProcess, EmptyOrWrongMapsGiveNoBoxes) {
    EXPECT_TRUE(FindTextBoxes(cv::Mat(), {}, 1, 1, {10, 10}).empty());
    EXPECT_TRUE(FindTextBoxes(cv::Mat::ones(10, 10, CV_8UC1), {}, 1, 1, {10, 10}).empty());
    EXPECT_TRUE(FindTextBoxes(cv::Mat::zeros(10, 10, CV_32FC1), {}, 1, 1, {10, 10}).empty());
}

class PpOcrModelFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("kelsor-ppocr-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

TEST_F(PpOcrModelFiles, LabelsAreBlankKeysAndSpace) {
    std::ofstream(m_dir / "keys.txt") << "甲\r\n乙\n丙";
    std::vector<std::string> labels;
    std::string error;
    ASSERT_TRUE(LoadRecognitionLabels((m_dir / "keys.txt").string(), labels, error)) << error;
    EXPECT_EQ(labels, (std::vector<std::string>{"", "甲", "乙", "丙", " "}));

    std::ofstream(m_dir / "empty.txt") << "";
    EXPECT_FALSE(LoadRecognitionLabels((m_dir / "empty.txt").string(), labels, error));
    EXPECT_FALSE(LoadRecognitionLabels((m_dir / "none.txt").string(), labels, error));
    EXPECT_NE(error.find("none.txt"), std::string::npos);
}

TEST_F(PpOcrModelFiles, MissingOrMismatchedFilesAreRefused) {
    std::string error;
    EXPECT_EQ(PpOcrEngine::Create(PpOcrModelPaths::InFolder(m_dir.string()), error), nullptr);
    EXPECT_NE(error.find("ch_PP-OCRv4_det_infer.onnx"), std::string::npos) << error;

    // Real models with a character list of the wrong length.
    const PpOcrModelPaths real = PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder());
    PpOcrModelPaths wrongKeys = real;
    wrongKeys.keys = (m_dir / "keys.txt").string();
    std::ofstream(wrongKeys.keys) << "a\nb\n";
    EXPECT_EQ(PpOcrEngine::Create(wrongKeys, error), nullptr);
    EXPECT_NE(error.find("does not match"), std::string::npos) << error;

    // A file that is not a model.
    PpOcrModelPaths notAModel = real;
    notAModel.detection = wrongKeys.keys;
    EXPECT_EQ(PpOcrEngine::Create(notAModel, error), nullptr);
    EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
}
