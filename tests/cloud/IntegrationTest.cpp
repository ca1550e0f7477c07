// The whole road: a picture rendered here, recognised by a kelsor-server
// started here, over HTTPS with certificate verification.
#include "LocalService.h"
#include "RenderText.h"
#include "TempFolder.h"
#include "cloud/RecognizePictureText.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kelsor;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

TEST(Integration, ChineseAndEnglishLinesComeBackExactlyThroughTheLocalService) {
    kelsor::test::TempFolder dir;
    kelsor::test::LocalService service;
    std::string error;
    ASSERT_TRUE(service.Start(KELSOR_SERVER_EXE, dir.file("data"), dir.file("server.log"),
                              {"--engines", "1"}, error))
        << error;

    const std::vector<std::string> lines = {"文字识别测试", "Hello World", "欢迎使用本软件"};
    const std::string picture = dir.file("lines.png");
    ASSERT_TRUE(kelsor::test::RenderTextPicture(lines, 48, picture));

    CaptureStdout();
    const bool signedIn = service.SignInDemoUser();
    const std::string text = RecognizePictureText(FormatPriority, Wide(picture));
    const std::string joined = RecognizePictureText(EditPriority, Wide(picture));
    const std::string out = GetCapturedStdout();
    ASSERT_TRUE(signedIn);
    EXPECT_EQ(text, lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2]) << out << service.Log();
    EXPECT_EQ(joined, lines[0] + lines[1] + lines[2]);
    EXPECT_NE(service.Log().find("cloud POST /v1.0/ocr/general-text 200"), std::string::npos);
}
