// The whole road on the page: a picture chosen through the picker, recognised
// by the real cloud client against a kelsor-server started here (Tesseract
// engine, HTTPS with certificate verification), its text shown and written.
// Also leaves a screenshot of the finished page for a person to look at.
#include <gtest/gtest.h>

#include <QFont>
#include <QPainter>
#include <cstdlib>

#include "PageTestSupport.h"
#include "app/AppContext.h"
#include "cloud/HWOcrClientToken.h"
#include "server/process/ServerProcess.h"

using namespace kelsor;
using namespace kelsor::pagetest;

namespace {

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

QImage TextPicture(const std::vector<QString>& lines) {
    QImage image(900, 110 + 90 * static_cast<int>(lines.size()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(52);
    painter.setFont(font);
    painter.setPen(Qt::black);
    int y = 110;
    for (const QString& line : lines) {
        painter.drawText(40, y, line);
        y += 90;
    }
    return image;
}

class RealRecognitionTest : public ::testing::Test, public PageFixture {};

}  // namespace

TEST_F(RealRecognitionTest, PictureToTextThroughTheLocalService) {
    const std::string data = QString::fromStdWString(root).toStdString();
    server::ServerProcess process;
    std::string error;
    ASSERT_TRUE(process.Start(KELSOR_SERVER_EXE,
                              {"--data", data + "server", "--cloud-port", "0", "--account-port",
                               "0", "--engine", "tesseract"},
                              data + "server.log", error))
        << error;
    server::DemoCloudUser demo;
    ASSERT_TRUE(server::ReadDemoCloudUser(process.DemoUserPath(), demo));
    ::setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(process.CloudPort())).c_str(),
             1);
    ::setenv("KELSOR_CLOUD_CA_FILE", process.CertificatePath().c_str(), 1);
    InitCloudToken(Wide(demo.user), Wide(demo.password), Wide(demo.domain), Wide(demo.project));

    const std::wstring picture = Folder(L"scan") + L"page 1.png";
    ASSERT_TRUE(SavePicture(
        TextPicture({QStringLiteral("Hello World"), QStringLiteral("Recognition works fine")}),
        picture));
    ui::FileDialog::SetNextFileNames({picture});
    ASSERT_TRUE(page->ClickControl(L"singleselectpicbtn"));
    ASSERT_TRUE(page->ClickControl(L"adaptationbtn"));
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(2132, 180)) << process.Log();
    EXPECT_TRUE(notices.empty());

    const std::string expected = "Hello World\r\nRecognition works fine\r\n";
    EXPECT_EQ(ReadBytes(root + L"scan/page 1.txt"), expected) << process.Log();
    EXPECT_EQ(Control(L"ocrtextarea")->GetText(), L"Hello World\nRecognition works fine");
    EXPECT_EQ(main->messages, (std::vector<unsigned>{2130, 2131, 2132}));

    // For a person to look at: the page with its picture and text.
    WaitFor([] { return false; }, 1);
    const QString shot = QStringLiteral(KELSOR_SCREENSHOT_DIR "/single_page.png");
    EXPECT_TRUE(main->GetHWND()->grab().save(shot));
}
