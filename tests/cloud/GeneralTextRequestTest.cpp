#include "FakeCloud.h"
#include "cloud/GeneralText.h"
#include "cloud/HWOcrClientToken.h"
#include "cloud/RecognizePictureText.h"
#include "platform/sys/CodePage.h"

#include <gtest/gtest.h>
#include <json/value.h>

#include <fstream>
#include <thread>
#include <vector>

using namespace kelsor;
using kelsor::test::TempFolder;
using kelsor::test::WriteFile;
using kelsor::testing::FakeCloud;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

// A client holding token "tok" for region cn-north-4.
void PrepareClient(HWOcrClientToken& client, FakeCloud& cloud) {
    cloud.UseForClient();
    cloud.IssueToken("X-Subject-Token", "tok");
    client.SetAuthInfo("u", "p", "d", "cn-north-4");
    CaptureStdout();
    client.get_token();
    GetCapturedStdout();
}

std::string Recognize(HWOcrClientToken& client, const std::string& reference,
                      std::string* printed = nullptr) {
    CaptureStdout();
    std::string envelope = client.RecognizeGeneralText(reference, kGeneralTextPath, Json::Value());
    const std::string out = GetCapturedStdout();
    if (printed != nullptr) {
        *printed = out;
    }
    return envelope;
}

}  // namespace

TEST(GeneralTextRequest, SendsTheStyledBodyTheTwoHeadersAndWrapsTheReply) {
    FakeCloud cloud;
    HWOcrClientToken client;
    PrepareClient(client, cloud);
    TempFolder dir;
    WriteFile(dir.file("p.jpg"), std::string(58, 'a'));
    std::string printed;
    const std::string envelope = Recognize(client, dir.file("p.jpg"), &printed);

    std::string line;
    for (int group = 0; group < 19; ++group) {
        line += "YWFh";  // "aaa"
    }
    ASSERT_EQ(line.size(), 76u);
    EXPECT_EQ(cloud.ocrBody(), "{\n\t\"image\" : \"" + line + "\\r\\nYQ==\"\n}\n");
    EXPECT_EQ(cloud.ocrToken(), "tok");
    EXPECT_EQ(envelope,
              R"({"status":200,"response body":{"result":{"words_block_list":[{"words":"ok"}]}}})");
    EXPECT_NE(printed.find("POST URL: https://ocr.cn-north-4.localhost:" +
                           std::to_string(cloud.port()) + "/v1.0/ocr/general-text\n"),
              std::string::npos)
        << printed;
}

TEST(GeneralTextRequest, EmptyAndMissingPicturesGoOutAsEmptyImage) {
    FakeCloud cloud;
    HWOcrClientToken client;
    PrepareClient(client, cloud);
    TempFolder dir;
    WriteFile(dir.file("empty.jpg"), "");
    for (const std::string& path : {dir.file("empty.jpg"), dir.file("missing.jpg")}) {
        Recognize(client, path);
        EXPECT_EQ(cloud.ocrBody(), "{\n\t\"image\" : \"\"\n}\n") << path;
    }
    EXPECT_EQ(cloud.ocrRequests, 2);
}

TEST(GeneralTextRequest, AReferenceContainingAWebAddressIsSentAsUrl) {
    FakeCloud cloud;
    HWOcrClientToken client;
    PrepareClient(client, cloud);
    Recognize(client, "C:/pics/https://example.localhost/a.png");
    EXPECT_EQ(cloud.ocrBody(), "{\n\t\"url\" : \"C:/pics/https://example.localhost/a.png\"\n}\n");
}

TEST(GeneralTextRequest, NoServiceGivesStatusZeroAndTheFailureMessage) {
    HWOcrClientToken client;
    client.SetAuthInfo("u", "p", "d", "cn-north-4");
    ::setenv("KELSOR_CLOUD_DOMAIN", ".localhost:1", 1);
    std::string printed;
    EXPECT_EQ(Recognize(client, "/nonexistent.jpg", &printed),
              R"({"status":0,"message":"ocr request failed"})");
    EXPECT_NE(printed.find("curl_easy_perform() failed:"), std::string::npos);
}

TEST(GeneralTextRequest, UnauthorisedReplyArrivesInTheEnvelopeAndGivesEmptyText) {
    FakeCloud cloud;
    cloud.onOcr = [](const httplib::Request&, httplib::Response& res) {
        res.status = 401;
        res.set_content(R"({"error_code":"ModelArts.0203","error_msg":"The token is invalid."})",
                        "application/json");
    };
    HWOcrClientToken client;
    PrepareClient(client, cloud);
    cloud.onToken = [](const httplib::Request&, httplib::Response& res) { res.status = 401; };
    const std::string envelope = Recognize(client, "/nonexistent.jpg");
    EXPECT_EQ(envelope, R"({"status":401,"response body":{"error_code":"ModelArts.0203",)"
                        R"("error_msg":"The token is invalid."}})");
    std::string text;
    EXPECT_FALSE(ParseGeneralTextReply(FormatPriority, text, envelope));
    EXPECT_EQ(text, "");
}

TEST(GeneralTextRequest, ExpiredTokenIsRefreshedOnceAndTheRequestRetriedOnce) {
    FakeCloud cloud;
    HWOcrClientToken client;
    PrepareClient(client, cloud);  // holds "tok", which the service now refuses
    cloud.IssueToken("X-Subject-Token", "fresh");
    cloud.onOcr = [](const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("X-Auth-Token") != "fresh") {
            res.status = 401;
            res.set_content(R"({"error_code":"ModelArts.0204","error_msg":"expired"})",
                            "application/json");
            return;
        }
        res.set_content(R"({"result":{"words_block_list":[{"words":"ok"}]}})", "application/json");
    };
    const int tokensBefore = cloud.tokenRequests;
    std::string text;
    EXPECT_TRUE(ParseGeneralTextReply(FormatPriority, text, Recognize(client, "/none.jpg")));
    EXPECT_EQ(text, "ok");
    EXPECT_EQ(cloud.tokenRequests - tokensBefore, 1);
    EXPECT_EQ(cloud.ocrRequests, 2);
    EXPECT_EQ(client.GetToken(), "fresh");

    // A service that refuses every token: one refresh, one retry, no loop.
    cloud.onOcr = [](const httplib::Request&, httplib::Response& res) {
        res.status = 401;
        res.set_content("{}", "application/json");
    };
    const std::string envelope = Recognize(client, "/none.jpg");
    EXPECT_EQ(envelope, R"({"status":401,"response body":{}})");
    EXPECT_EQ(cloud.tokenRequests - tokensBefore, 2);
    EXPECT_EQ(cloud.ocrRequests, 4);
}

TEST(GeneralTextRequest, Utf8ReplyIsConvertedToTheCodePageAndRequestsRunConcurrently) {
    FakeCloud cloud;
    cloud.IssueToken("X-Subject-Token", "tok-global");
    cloud.onOcr = [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"result":{"words_block_list":[{"words":"文字"},{"words":"识别 OK"}]}})",
                        "application/json");
    };
    cloud.UseForClient();
    CaptureStdout();
    InitCloudToken(L"global-user", L"pw", L"d", L"cn-north-4");
    GetCapturedStdout();

    ASSERT_TRUE(platform::SetCodePage("GBK"));
    CaptureStdout();
    const std::string gbk = RecognizePictureText(FormatPriority, L"/none.jpg");
    GetCapturedStdout();
    platform::SetCodePage("");
    EXPECT_EQ(gbk, "\xCE\xC4\xD7\xD6\r\n\xCA\xB6\xB1\xF0 OK");

    std::vector<std::string> results(4);
    std::vector<std::thread> workers;
    CaptureStdout();
    for (std::size_t i = 0; i < results.size(); ++i) {
        workers.emplace_back(
            [&results, i] { results[i] = RecognizePictureText(EditPriority, L"/none.jpg"); });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    GetCapturedStdout();
    for (const std::string& text : results) {
        EXPECT_EQ(text, "文字识别 OK");
    }
    EXPECT_EQ(cloud.tokenRequests, 1);
}
