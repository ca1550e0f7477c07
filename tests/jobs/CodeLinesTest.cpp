// Codes placed among recognised lines and joined with them; whether a
// picture shows anything besides its codes.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "CodePictures.h"
#include "RenderText.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/CodeLines.h"

namespace kelsor {
namespace {

PlacedLine Line(const std::string& words, double left, double top, double right, double bottom) {
    return {words, true, {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}}};
}

FoundCode Code(CodeKind kind, const std::string& payload, double left, double top, double right,
               double bottom) {
    return {kind, "", payload, {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}}};
}

std::vector<std::string> Words(const PictureLines& placed) {
    std::vector<std::string> words;
    for (const PlacedLine& line : placed.lines) {
        words.push_back(line.words);
    }
    return words;
}

TEST(CodeLines, EachCodeTakesItsPlaceInTheReadingOrder) {
    const FoundCode qr = Code(CodeKind::Matrix, "Q", 10, 70, 200, 260);
    struct Case {
        const char* what;
        std::vector<PlacedLine> lines;
        std::vector<FoundCode> codes;
        std::vector<std::string> read;
    };
    const Case cases[] = {
        {"a caption to the right of the code",
         {Line("A", 220, 80, 600, 120), Line("B", 220, 140, 600, 180)},
         {qr},
         {"[二维码] Q", "A", "B"}},
        {"a title above, a note below",
         {Line("title", 10, 10, 300, 50), Line("note", 10, 290, 300, 330)},
         {qr},
         {"title", "[二维码] Q", "note"}},
        {"a heading, then the code beside its caption, then more text",
         {Line("heading", 10, 10, 600, 50), Line("caption", 220, 120, 600, 160),
          Line("after", 10, 300, 600, 340)},
         {qr},
         {"heading", "[二维码] Q", "caption", "after"}},
        {"a label to the left of the code",
         {Line("label", 10, 140, 180, 180), Line("more", 10, 300, 600, 340)},
         {Code(CodeKind::Matrix, "Q", 220, 70, 410, 260)},
         {"label", "[二维码] Q", "more"}},
        {"two codes side by side under a line, read left to right",
         {Line("text", 10, 10, 700, 50)},
         {Code(CodeKind::Matrix, "right", 300, 68, 490, 258), qr},
         {"text", "[二维码] Q", "[二维码] right"}},
        {"codes under a column of lines",
         {Line("one", 10, 10, 300, 50), Line("two", 10, 60, 300, 100)},
         {Code(CodeKind::Linear, "42", 10, 200, 300, 260)},
         {"one", "two", "[条形码] 42"}},
        {"lines without a place: the codes come last",
         {PlacedLine{"one"}, PlacedLine{"two"}},
         {qr},
         {"one", "two", "[二维码] Q"}},
        {"a code alone", {}, {qr}, {"[二维码] Q"}},
        {"no codes", {Line("one", 10, 10, 300, 50)}, {}, {"one"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PictureLines placed = PlaceCodes(c.lines, c.codes);
        EXPECT_EQ(Words(placed), c.read);
        ASSERT_EQ(placed.isCode.size(), placed.lines.size());
        for (std::size_t i = 0; i < placed.lines.size(); ++i) {
            EXPECT_EQ(placed.isCode[i], placed.lines[i].words.rfind('[', 0) == 0);
        }
    }
}

TEST(CodeLines, TextReadFromACodesOwnInkIsLeftToTheCodeLine) {
    const std::vector<PlacedLine> lines = {
        Line("产品名称", 10, 10, 400, 50),
        Line("#@%", 60, 80, 140, 100),                      // a QR code's modules read as text
        Line("6", 0, 365, 20, 395),                         // a barcode's printed digits,
        Line("901234 567892", 30, 365, 400, 395),           // in two parts
        Line("商品条码 6901234567892", 10, 420, 400, 450),  // a caption holding the number
    };
    const PictureLines placed =
        PlaceCodes(lines, {Code(CodeKind::Matrix, "https://a.cn", 10, 60, 200, 250),
                           Code(CodeKind::Linear, "6901234567892", 10, 270, 400, 360)});
    EXPECT_EQ(Words(placed),
              (std::vector<std::string>{"产品名称", "[二维码] https://a.cn",
                                        "[条形码] 6901234567892", "商品条码 6901234567892"}));
}

TEST(CodeLines, ACodeLineIsNeverRunTogetherWithItsNeighbours) {
    const std::vector<PlacedLine> lines = {
        Line("Scan the code to join", 10, 10, 500, 40),
        Line("the product group", 10, 50, 400, 80),
        Line("and the rest of the", 10, 330, 400, 360),
        Line("second paragraph", 10, 370, 300, 400),
    };
    const FoundCode qr = Code(CodeKind::Matrix, "https://a.cn/x y", 10, 100, 200, 290);
    const PictureLines placed = PlaceCodes(lines, {qr});
    EXPECT_EQ(JoinPictureLines(EditPriority, placed),
              "Scan the code to join the product group\r\n[二维码] https://a.cn/x y\r\nand the "
              "rest of the second paragraph");
    EXPECT_EQ(JoinPictureLines(FormatPriority, placed),
              "Scan the code to join\r\nthe product group\r\n[二维码] https://a.cn/x "
              "y\r\nand the rest of the\r\nsecond paragraph");
    // Without codes the text is what the service's text road gives.
    for (const int format : {FormatPriority, EditPriority}) {
        EXPECT_EQ(JoinPictureLines(format, PlaceCodes(lines, {})),
                  JoinRecognisedLines(format, lines));
    }
    EXPECT_EQ(JoinPictureLines(EditPriority, PlaceCodes({}, {qr})), "[二维码] https://a.cn/x y");
}

TEST(CodeLines, APayloadStaysAsEncodedSaveItsBreaksAndControls) {
    const struct {
        CodeKind kind;
        std::string payload;
        std::string line;
    } cases[] = {
        {CodeKind::Matrix, "https://例子.cn/a b?c=d", "[二维码] https://例子.cn/a b?c=d"},
        {CodeKind::Linear, "ABC-123", "[条形码] ABC-123"},
        {CodeKind::Matrix, "BEGIN:VCARD\nN:张三\r\nEND:VCARD\r",
         "[二维码] BEGIN:VCARD\r\nN:张三\r\nEND:VCARD\r\n"},
        {CodeKind::Matrix, std::string("a\0b\x1B[0m\tc", 9), "[二维码] a?b?[0m\tc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodeLineWords(FoundCode{c.kind, "", c.payload, {}}), c.line);
    }
}

TEST(CodeLines, OnlyAPictureWithNothingBesideItsCodesSkipsTheService) {
    const QImage qr = test::QrCode("https://example.cn/only");
    const auto grey = [](const QImage& picture) {
        const QImage g = picture.convertToFormat(QImage::Format_Grayscale8);
        GreyImage image{g.width(), g.height(), {}};
        for (int y = 0; y < g.height(); ++y) {
            image.pixels.insert(image.pixels.end(), g.constScanLine(y),
                                g.constScanLine(y) + g.width());
        }
        return image;
    };
    struct Case {
        const char* what;
        QImage picture;
        bool only;
    };
    QImage alone(900, 600, QImage::Format_RGB32);
    alone.fill(Qt::white);
    QPainter(&alone).drawImage(300, 150, qr);
    QImage specks = alone;
    for (int i = 0; i < 8; ++i) {
        specks.setPixel(20 + 50 * i, 500, qRgb(0, 0, 0));
    }
    QImage word = alone;
    QPainter(&word).drawImage(20, 20, test::TightLinePicture(QStringLiteral("扫码"), 14, 2));
    const Case cases[] = {
        {"a code with white around it", alone, true},
        {"a few specks of noise", specks, true},
        {"a small word beside it", word, false},
        {"a code beside its caption",
         test::PageWithCode(1300, 600, qr, 20, 20, {QStringLiteral("SCAN ME")}, 300, 20), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const GreyImage image = grey(c.picture);
        const std::vector<FoundCode> codes = ReadCodes(image);
        ASSERT_EQ(codes.size(), 1u);
        EXPECT_EQ(OnlyCodesIn(image, codes), c.only);
    }
    EXPECT_FALSE(OnlyCodesIn(grey(alone), {}));  // no code: always the service
}

}  // namespace
}  // namespace kelsor
