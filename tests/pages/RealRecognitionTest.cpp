// The whole road on the page: a picture chosen through the picker, recognised
// by the real cloud client against a kelsor-server started here (Tesseract
// engine, HTTPS with certificate verification), its text shown and written.
// Also leaves a screenshot of the finished page for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>

#include "LocalService.h"
#include "PageTestSupport.h"
#include "RenderText.h"
#include "app/AppContext.h"

using namespace kelsor;
using namespace kelsor::pagetest;

namespace {

class RealRecognitionTest : public ::testing::Test, public PageFixture {};

}  // namespace

TEST_F(RealRecognitionTest, PictureToTextThroughTheLocalService) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(StartTesseractService(service, root, error)) << error;

    const std::wstring picture = Folder(L"scan") + L"page 1.png";
    ASSERT_TRUE(SavePicture(test::LargeTextPicture({QStringLiteral("Hello World"),
                                                    QStringLiteral("Recognition works fine")}),
                            picture));
    ui::FileDialog::SetNextFileNames({picture});
    ASSERT_TRUE(page->ClickControl(L"singleselectpicbtn"));
    ASSERT_TRUE(page->ClickControl(L"adaptationbtn"));
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(2132, std::chrono::minutes(3))) << service.Log();
    EXPECT_TRUE(notices.empty());

    const std::string expected = "Hello World\r\nRecognition works fine\r\n";
    EXPECT_EQ(ReadBytes(root + L"scan/page 1.txt"), expected) << service.Log();
    EXPECT_EQ(Control(L"ocrtextarea")->GetText(), L"Hello World\nRecognition works fine");
    EXPECT_EQ(main->messages, (std::vector<unsigned>{2130, 2131, 2132}));

    // For a person to look at: the page with its picture and text.
    RunEventsFor(std::chrono::seconds(1));
    const QString shot = QStringLiteral(KELSOR_SCREENSHOT_DIR "/single_page.png");
    EXPECT_TRUE(main->GetHWND()->grab().save(shot));
}
