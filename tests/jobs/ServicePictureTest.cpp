// Pictures under the service's minimum side (15 px): what is sent for them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>

#include "RenderText.h"
#include "TestPictures.h"
#include "app/TextConv.h"
#include "jobs/ServicePicture.h"

namespace kelsor {
namespace {

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 24 && std::abs(qGreen(a) - qGreen(b)) < 24 &&
           std::abs(qBlue(a) - qBlue(b)) < 24;
}

// A line cut tightly, in the colours of a theme.
QImage ThemedLine(const QString& text, int pixelSize, int margin, QRgb ink, QRgb paper) {
    QImage line =
        test::TightLinePicture(text, pixelSize, margin).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < line.height(); ++y) {
        for (int x = 0; x < line.width(); ++x) {
            const int dark = 255 - qGray(line.pixel(x, y));
            const auto mix = [&](int i, int p) { return (i * dark + p * (255 - dark)) / 255; };
            line.setPixel(x, y,
                          qRgb(mix(qRed(ink), qRed(paper)), mix(qGreen(ink), qGreen(paper)),
                               mix(qBlue(ink), qBlue(paper))));
        }
    }
    return line;
}

TEST(ServicePicture, ASideUnderTheMinimumGrowsAtTheRightAndBottomInTheEdgeColour) {
    test::ScratchFolder dir;
    struct Case {
        const char* what;
        QImage picture;
        QRgb paper;
        QSize sent;  // set: the size the service gets as it is
    };
    const Case cases[] = {
        {"light line",
         ThemedLine(QStringLiteral("文件名 README.TXT"), 13, 0, 0x000000, 0xffffff),
         0xffffff,
         {}},
        {"dark line",
         ThemedLine(QStringLiteral("Error 错误"), 13, 0, 0xe0e0e0, 0x202830),
         0x202830,
         {}},
        {"coloured line",
         ThemedLine(QStringLiteral("标题"), 12, 1, 0xffffff, 0x2060c0),
         0x2060c0,
         {}},
        {"tiny square", ThemedLine(QStringLiteral("字"), 8, 0, 0x000000, 0xfff0d0), 0xfff0d0, {}},
        {"at the minimum", QImage(15, 15, QImage::Format_RGB32), 0xffffff, {15, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QImage picture = c.picture;
        if (c.sent.isValid())
            picture.fill(Qt::white);
        const std::wstring path = dir / L"line.png";
        ASSERT_TRUE(picture.save(QString::fromStdWString(path)));
        ServicePicture sent;
        ASSERT_TRUE(PrepareServicePicture(path, sent));
        EXPECT_EQ(sent.width, picture.width());
        EXPECT_EQ(sent.height, picture.height());
        if (c.sent.isValid()) {
            // Big enough already: the file goes as it is.
            EXPECT_FALSE(sent.grown);
            EXPECT_EQ(std::string(sent.bytes.begin(), sent.bytes.end()), test::ReadBytes(path));
            continue;
        }
        ASSERT_LT(std::min(picture.width(), picture.height()), kServiceMinimumSide);
        EXPECT_TRUE(sent.grown);
        QImage got;
        ASSERT_TRUE(got.loadFromData(sent.bytes.data(), int(sent.bytes.size())));
        EXPECT_EQ(got.size(), QSize(std::max(picture.width(), kServiceMinimumSide),
                                    std::max(picture.height(), kServiceMinimumSide)));
        int moved = 0;
        for (int y = 0; y < got.height(); ++y) {
            for (int x = 0; x < got.width(); ++x) {
                const bool own = x < picture.width() && y < picture.height();
                moved += Near(got.pixel(x, y), own ? picture.pixel(x, y) : c.paper) ? 0 : 1;
            }
        }
        // Sent losslessly: every pixel of the picture keeps its place.
        EXPECT_EQ(moved, 0);
    }
    // What cannot be read is not sent (a FIFO would hold the open).
    const std::string fifo = WideToAnsi(dir / L"fifo.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ServicePicture sent;
    EXPECT_FALSE(PrepareServicePicture(dir / L"fifo.png", sent));
    EXPECT_FALSE(PrepareServicePicture(dir / L"missing.png", sent));
}

}  // namespace
}  // namespace kelsor
