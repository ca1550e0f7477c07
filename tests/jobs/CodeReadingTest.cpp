// QR codes and barcodes drawn by qrencode and zint, read back from their
// picture files: every symbology, the character sets payloads come in,
// codes turned and mirrored, several at once, and bad input.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "CodePictures.h"
#include "TestPictures.h"
#include "jobs/PictureCodes.h"
#include "jobs/PictureUtils.h"

namespace kelsor {
namespace {

// The codes in `picture`, read from its file (PNG, or `format`) as the roads
// read theirs.
std::vector<FoundCode> CodesIn(const QImage& picture, const char* format = "PNG") {
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, format, 100));
    GreyImage grey;
    EXPECT_TRUE(DecodeGreyPicture(reinterpret_cast<const std::uint8_t*>(file.constData()),
                                  std::size_t(file.size()), grey));
    EXPECT_EQ(grey.width, picture.width());
    return ReadCodes(grey);
}

QImage OnWhite(const QImage& code, int margin) {
    QImage page(code.width() + 2 * margin, code.height() + 2 * margin, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(margin, margin, code);
    return page;
}

struct Sample {
    const char* what;
    const char* symbology;  // zint's name; "qrencode" for a QR code drawn by qrencode
    std::string data;       // the bytes encoded
    CodeKind kind;
    std::string payload;  // what is read, UTF-8
};

QImage Draw(const Sample& s) {
    return std::string(s.symbology) == "qrencode" ? test::QrCode(s.data)
                                                  : test::ZintCode(s.symbology, s.data);
}

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {"QR, Chinese in UTF-8", "qrencode", "扫码加入群聊：产品交流群", CodeKind::Matrix,
         "扫码加入群聊：产品交流群"},
        // GB 18030 bytes with a four-byte character, no ECI.
        {"QR, Chinese in GB 18030", "qrencode",
         "\xD6\xD0\xCE\xC4\x95\x32\x82\x36\xA2\xE3 GB \xB2\xE2\xCA\xD4", CodeKind::Matrix,
         "中文𠀀€ GB 测试"},
        {"QR, URL", "qrencode", "https://shop.example.cn/order?id=20240601&sign=a%2Fb+c#pay",
         CodeKind::Matrix, "https://shop.example.cn/order?id=20240601&sign=a%2Fb+c#pay"},
        {"QR, binary-looking text", "qrencode", "0x7F 0b1011 AAECAwQFBgc= \\x00 ~!@#$%^&*()_+",
         CodeKind::Matrix, "0x7F 0b1011 AAECAwQFBgc= \\x00 ~!@#$%^&*()_+"},
        {"Micro QR", "MICROQR", "123456", CodeKind::Matrix, "123456"},
        {"Data Matrix, UTF-8", "DATAMATRIX", "数据矩阵 DataMatrix 123", CodeKind::Matrix,
         "数据矩阵 DataMatrix 123"},
        {"Aztec, URL", "AZTEC", "https://例子.cn/a?b=1", CodeKind::Matrix, "https://例子.cn/a?b=1"},
        {"PDF417", "PDF417", "PDF417 文本 ABC-123", CodeKind::Matrix, "PDF417 文本 ABC-123"},
        {"EAN-13", "EANX", "6901234567892", CodeKind::Linear, "6901234567892"},
        {"EAN-8", "EANX", "9638507", CodeKind::Linear, "96385074"},
        {"UPC-A", "UPCA", "03600029145", CodeKind::Linear, "036000291452"},
        {"UPC-E", "UPCE", "0123456", CodeKind::Linear, "01234565"},
        {"Code 39", "CODE39", "KELSOR-39 TEST", CodeKind::Linear, "KELSOR-39 TEST"},
        {"Code 93", "CODE93", "CODE93-TEST", CodeKind::Linear, "CODE93-TEST"},
        {"Code 128, URL", "CODE128", "https://k.cn/p?q=1&r=Ab_9", CodeKind::Linear,
         "https://k.cn/p?q=1&r=Ab_9"},
        {"ITF", "C25INTER", "12345678", CodeKind::Linear, "12345678"},
        {"Codabar", "CODABAR", "A40156B", CodeKind::Linear, "40156"},
    };
    return samples;
}

TEST(CodeReading, EverySymbologyAndPayloadIsReadExactly) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.what);
        const QImage code = Draw(s);
        ASSERT_FALSE(code.isNull()) << "the generator refused the sample";
        const std::vector<FoundCode> codes = CodesIn(OnWhite(code, 20));
        ASSERT_EQ(codes.size(), 1u);
        EXPECT_EQ(codes[0].payload, s.payload);
        EXPECT_EQ(codes[0].kind, s.kind);
        // Its place: the code's own pixels, 20 px in from the page's corner.
        for (const auto& [x, y] : codes[0].location) {
            EXPECT_GE(x, 20 - 2);
            EXPECT_LE(x, 20 + code.width() + 2);
            EXPECT_GE(y, 20 - 2);
            EXPECT_LE(y, 20 + code.height() + 2);
        }
    }
}

TEST(CodeReading, TurnedAndMirroredCodesAreRead) {
    const std::vector<Sample>& all = Samples();
    // QR and Data Matrix read mirrored; a barcode mirrored is its bars in
    // the other direction, read as turned.
    const Sample* turnable[] = {&all[0], &all[5], &all[8], &all[14]};
    for (const Sample* s : turnable) {
        const QImage code = OnWhite(Draw(*s), 24);
        for (const int degrees : {90, 180, 270}) {
            for (const bool mirrored : {false, true}) {
                SCOPED_TRACE(std::string(s->what) + " turned " + std::to_string(degrees) +
                             (mirrored ? " and mirrored" : ""));
                const std::vector<FoundCode> codes = CodesIn(test::Turned(code, degrees, mirrored));
                ASSERT_EQ(codes.size(), 1u);
                EXPECT_EQ(codes[0].payload, s->payload);
            }
        }
    }
}

// Among them two barcodes alike on a wide page: found in one pass, or one
// found at two scales, the reader's own merging of them would stop the
// process. As a JPEG too: its fast decoding
// leaves specks among a code's modules.
TEST(CodeReading, SeveralCodesInOnePictureAreEachRead) {
    const std::vector<Sample>& all = Samples();
    const QImage drawn[] = {Draw(all[0]), Draw(all[8]), Draw(all[5]), Draw(all[8])};
    QImage page(2800, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    int x = 30;
    for (const QImage& code : drawn) {
        painter.drawImage(x, 40, code);
        x += code.width() + 80;
    }
    painter.end();
    std::vector<std::string> payloads = {all[0].payload, all[8].payload, all[5].payload,
                                         all[8].payload};
    std::sort(payloads.begin(), payloads.end());
    for (const char* format : {"PNG", "JPEG"}) {
        std::vector<std::string> read;
        for (const FoundCode& code : CodesIn(page, format)) {
            read.push_back(code.payload);
        }
        std::sort(read.begin(), read.end());
        EXPECT_EQ(read, payloads) << format;
    }
}

// A photo's codes survive its conversion to the work JPEG the pages and the
// batch runner recognise.
TEST(CodeReading, CodesOfAJpegSurviveItsWorkFile) {
    const std::vector<Sample>& all = Samples();
    QImage page(1600, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage(40, 40, Draw(all[0]));
    painter.drawImage(500, 60, Draw(all[8]));
    painter.end();
    test::ScratchFolder dir;
    const std::wstring photo = dir / L"photo.jpg";
    const std::wstring work = dir / L"work.jpg";
    ASSERT_TRUE(page.save(QString::fromStdWString(photo), "JPEG", 90));
    ASSERT_TRUE(ConvertPictureToJpeg(100, photo, work));
    const std::string bytes = test::ReadBytes(work);
    GreyImage grey;
    ASSERT_TRUE(
        DecodeGreyPicture(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), grey));
    std::vector<std::string> read;
    for (const FoundCode& code : ReadCodes(grey)) {
        read.push_back(code.payload);
    }
    std::sort(read.begin(), read.end());
    std::vector<std::string> drawn = {all[0].payload, all[8].payload};
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(read, drawn);
}

TEST(CodeReading, DamagedHugeAndLargestCodesEndWithoutHarm) {
    // A blot over the middle of a small QR code: beyond its error correction.
    QImage damaged = OnWhite(test::QrCode("https://example.cn/damaged"), 20);
    QPainter(&damaged).fillRect(damaged.width() / 4, damaged.height() / 4, damaged.width() / 2,
                                damaged.height() / 2, Qt::black);
    for (const FoundCode& code : CodesIn(damaged)) {
        EXPECT_EQ(code.payload, "https://example.cn/damaged");  // nothing made up
    }
    // The largest QR code there is: version 40, 2953 bytes.
    std::string largest(2953, '\0');
    for (std::size_t i = 0; i < largest.size(); ++i) {
        largest[i] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz"[i % 63];
    }
    const QImage big = test::QrCode(largest, 3);
    ASSERT_FALSE(big.isNull());
    std::vector<FoundCode> codes = CodesIn(big);
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].payload, largest);
    // A picture far beyond the scanned size is read from a smaller copy, its
    // code still found and placed in the picture's own pixels.
    QImage huge(12000, 9000, QImage::Format_Grayscale8);
    huge.fill(Qt::white);
    QPainter(&huge).drawImage(QRect(6000, 3000, 1600, 1600),
                              test::QrCode("https://example.cn/huge"));
    GreyImage grey;
    grey.width = huge.width();
    grey.height = huge.height();
    for (int y = 0; y < huge.height(); ++y) {
        grey.pixels.insert(grey.pixels.end(), huge.constScanLine(y),
                           huge.constScanLine(y) + huge.width());
    }
    codes = ReadCodes(grey);
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].payload, "https://example.cn/huge");
    EXPECT_NEAR(codes[0].location[0][0], 6000 + 1600 * 4 / 33.0, 40);
    // Nothing at all to read.
    EXPECT_TRUE(ReadCodes(GreyImage{}).empty());
    EXPECT_TRUE(ReadCodes(GreyImage{10, 10, {}}).empty());  // fewer pixels than it claims
}

TEST(CodeReading, PayloadBytesBecomeUtf8OnlyWhenTheyAreText) {
    struct Case {
        std::string bytes;
        bool text;
        std::string utf8;
    };
    const Case cases[] = {
        {"plain ASCII", true, "plain ASCII"},
        {"二维码", true, "二维码"},
        {"\xB6\xFE\xCE\xAC\xC2\xEB", true, "二维码"},  // GBK, within GB 18030
        {"\x81\x30\x81\x30", true, "\xC2\x80"},        // a four-byte GB 18030 point
        {"ab\xE4", false, ""},                         // cut UTF-8, cut GB 18030
        {"\xC0\xAF", true, "\xE8\x9C\xA1"},            // overlong UTF-8 is GB 18030 here
        {"\xED\xA0\x80", false, ""},                   // a surrogate, no GB 18030 either
    };
    for (const Case& c : cases) {
        std::string utf8;
        EXPECT_EQ(PayloadBytesToUtf8(c.bytes, utf8), c.text) << c.bytes;
        if (c.text) {
            EXPECT_EQ(utf8, c.utf8) << c.bytes;
        }
    }
}

}  // namespace
}  // namespace kelsor
