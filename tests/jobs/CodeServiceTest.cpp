// Codes read with the text of a picture through the recognition roads of
// the jobs and a kelsor-server started here.
#include <gtest/gtest.h>

#include <QPainter>
#include <cstdlib>

#include "BatchRoad.h"
#include "CodePictures.h"
#include "LocalService.h"
#include "TestPictures.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/ServicePicture.h"

namespace kelsor {
namespace {

constexpr const char* kPayload = "https://pay.example.cn/o?id=42&to=收款";

std::wstring Save(const QImage& picture, const std::wstring& path) {
    EXPECT_TRUE(picture.save(QString::fromStdWString(path)));
    return path;
}

TEST(CodeService, AQrCodeBesideTextIsOneLineAtItsPlace) {
    test::ScratchFolder dir;
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.StartSignedIn(KELSOR_SERVER_EXE, WideToAnsi(dir.path()), {}, error))
        << error;
    const QImage qr = test::QrCode(kPayload, 5);
    const std::wstring beside =
        Save(test::PageWithCode(1300, 420, qr, 20, 40, {QStringLiteral("SCAN TO PAY")}, 400, 20),
             dir / L"beside.png");
    const std::wstring under = Save(
        test::PageWithCode(1000, 700, qr, 40, 330,
                           {QStringLiteral("ORDER 42 IS READY"), QStringLiteral("PAY HERE")}, 0, 0),
        dir / L"under.png");
    const std::string line = Utf8ToAnsi(std::string("[二维码] ") + kPayload);
    struct Case {
        std::wstring picture;
        int format;
        std::string text;
    };
    const Case cases[] = {
        {beside, FormatPriority, line + "\r\nSCAN TO PAY"},
        {beside, EditPriority, line + "\r\nSCAN TO PAY"},
        {under, FormatPriority, "ORDER 42 IS READY\r\nPAY HERE\r\n" + line},
        // The two lines of text run together; the code line stays apart.
        {under, EditPriority, "ORDER 42 IS READY PAY HERE\r\n" + line},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToAnsi(c.picture) + " format " + std::to_string(c.format));
        EXPECT_EQ(ReadServicePictureText(c.format, c.picture, CodeReading::On), c.text)
            << service.Log();
    }
    // Switched off: what the service reads, the code left out.
    const std::string off = ReadServicePictureText(FormatPriority, beside, CodeReading::Off);
    EXPECT_NE(off.find("SCAN TO PAY"), std::string::npos) << off;
    EXPECT_EQ(off.find(kPayload), std::string::npos) << off;
    EXPECT_EQ(off, RecognizeServicePictureText(FormatPriority, beside));

    // The lines for a searchable page: the payload's line lies over the code.
    const auto lines = ReadServicePictureLines(beside, CodeReading::On);
    ASSERT_TRUE(lines.has_value());
    ASSERT_EQ(lines->size(), 2u);
    EXPECT_EQ((*lines)[0].words, line);
    ASSERT_TRUE((*lines)[0].placed);
    for (const auto& [x, y] : (*lines)[0].location) {
        EXPECT_TRUE(x >= 20 && x <= 20 + qr.width() && y >= 40 && y <= 40 + qr.height())
            << x << "," << y;
    }
}

TEST(CodeService, APictureOfCodesAloneIsReadWithoutTheService) {
    test::ScratchFolder dir;
    const test::ServiceOutOfReach offline;
    // A QR code turned on its side and a barcode with its digits under it.
    QImage page(1300, 500, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage(40, 60, test::Turned(test::QrCode(kPayload), 90));
    painter.drawImage(460, 100, test::ZintCode("EANX", "6901234567892"));
    painter.end();
    const std::wstring path = Save(page, dir / L"codes.png");
    EXPECT_EQ(ReadServicePictureText(EditPriority, path, CodeReading::On),
              Utf8ToAnsi(std::string("[二维码] ") + kPayload + "\r\n[条形码] 6901234567892"));
    const auto lines = ReadServicePictureLines(path, CodeReading::On);
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->size(), 2u);
    // Switched off, the picture fails as before: the service cannot be reached.
    EXPECT_EQ(ReadServicePictureText(EditPriority, path, CodeReading::Off), "");
    EXPECT_FALSE(ReadServicePictureLines(path, CodeReading::Off).has_value());

    // A batch row's text file, as the switch was when the row was queued.
    App().formatType = FormatPriority;
    EXPECT_EQ(test::ThroughTheBatchRunner(path, dir.MakeFolder(L"batch")),
              Utf8ToAnsi(std::string("[二维码] ") + kPayload + "\r\n[条形码] 6901234567892"));
    App().readCodes = 0;
    EXPECT_EQ(test::ThroughTheBatchRunner(path, dir.MakeFolder(L"off")), "");
    App().readCodes = 1;
}

}  // namespace
}  // namespace kelsor
