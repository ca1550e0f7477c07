// The single page's picking road for every form of the picture-form table:
// each is accepted and shown; the transparent 16-bit one, which a reader
// that drops the alpha sees as dark ink on black, is read through a
// kelsor-server started here.
#include <gtest/gtest.h>

#include "LocalService.h"
#include "PageTestSupport.h"
#include "PictureForms.h"
#include "app/TextConv.h"
#include "pages/PageButtons.h"
#include "pages/SingleOCRView.h"

using namespace kelsor;
using namespace kelsor::pagetest;

namespace {

class PictureFormsPageTest : public ::testing::Test, public PageFixture {};

constexpr unsigned kReady = 2130, kDone = 2132;

TEST_F(PictureFormsPageTest, EveryFormIsPickedAndTheTransparentOneReadOnWhite) {
    test::LocalService service;
    std::string error;
    ASSERT_TRUE(StartTesseractService(service, root, error)) << error;
    const std::wstring folder = Folder(L"forms");
    ASSERT_TRUE(test::WritePictureForms(WideToAnsi(folder), error)) << error;
    // As a user picks: the page's own button first, then the upload button
    // over the picture on show.
    const auto pick = [&](const std::wstring& path) {
        ui::FileDialog::SetNextFileNames({path});
        return Visible(L"singleselectpicbtn") ? page->ClickControl(L"singleselectpicbtn")
                                              : page->UploadButton()->ClickControl(L"uploadbtn");
    };
    for (const test::PictureForm& form : test::PictureForms()) {
        SCOPED_TRACE(form.name);
        main->messages.clear();
        ASSERT_TRUE(pick(folder + AnsiToWide(form.name)));
        EXPECT_TRUE(notices.empty());
        EXPECT_EQ(main->messages, std::vector<unsigned>{kReady});
        EXPECT_EQ(page->CurrentPicture(), folder + AnsiToWide(form.name));
        EXPECT_EQ(page->View()->Canvas().State().imageWidth, 360);
    }
    ASSERT_TRUE(pick(folder + L"png-rgba16.png"));
    page->StartRecognition();
    ASSERT_TRUE(WaitForMessage(kDone, std::chrono::minutes(2))) << service.Log();
    EXPECT_EQ(ReadBytes(folder + L"png-rgba16.txt"), std::string(test::kPictureFormText) + "\r\n");
}

}  // namespace
