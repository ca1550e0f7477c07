// The whole road: a picture rendered here, recognised by a kelsor-server
// started here, over HTTPS with certificate verification.
#include "RenderText.h"
#include "TempFolder.h"
#include "cloud/HWOcrClientToken.h"
#include "cloud/RecognizePictureText.h"
#include "server/process/ServerProcess.h"

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
    server::ServerProcess process;
    std::string error;
    ASSERT_TRUE(process.Start(
        KELSOR_SERVER_EXE,
        {"--data", dir.file("data"), "--cloud-port", "0", "--account-port", "0", "--engines", "1"},
        dir.file("server.log"), error))
        << error;
    server::DemoCloudUser demo;
    ASSERT_TRUE(server::ReadDemoCloudUser(process.DemoUserPath(), demo));
    ::setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(process.CloudPort())).c_str(),
             1);
    ::setenv("KELSOR_CLOUD_CA_FILE", process.CertificatePath().c_str(), 1);

    const std::vector<std::string> lines = {"文字识别测试", "Hello World", "欢迎使用本软件"};
    const std::string picture = dir.file("lines.png");
    ASSERT_TRUE(kelsor::test::RenderTextPicture(lines, 48, picture));

    CaptureStdout();
    InitCloudToken(Wide(demo.user), Wide(demo.password), Wide(demo.domain), Wide(demo.project));
    const std::string text = RecognizePictureText(FormatPriority, Wide(picture));
    const std::string joined = RecognizePictureText(EditPriority, Wide(picture));
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(text, lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2]) << out << process.Log();
    EXPECT_EQ(joined, lines[0] + lines[1] + lines[2]);
    EXPECT_NE(process.Log().find("cloud POST /v1.0/ocr/general-text 200"), std::string::npos);
}
