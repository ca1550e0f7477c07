// The identity and OCR routes of an in-process kelsor-server, over HTTPS
// with certificate verification.
#include "AccountTestSupport.h"
#include "LoopbackHttpServer.h"
#include "RenderText.h"
#include "TempFolder.h"
#include "server/KelsorServer.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <fstream>
#include <sstream>
#include <thread>

using namespace kelsor::server;
using kelsor::test::LoopbackHttpServer;
using kelsor::test::ReadFile;
using kelsor::test::TempFolder;
using kelsor::testing::CompactJson;
using kelsor::testing::ParseJson;

namespace {

std::string ToBase64(const std::string& bytes) {
    static const char a[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                           (unsigned char)bytes[i + 2];
        out += {a[v >> 18], a[(v >> 12) & 63], a[(v >> 6) & 63], a[v & 63]};
    }
    if (bytes.size() - i == 1) {
        const unsigned v = (unsigned char)bytes[i] << 16;
        out += {a[v >> 18], a[(v >> 12) & 63], '=', '='};
    } else if (bytes.size() - i == 2) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += {a[v >> 18], a[(v >> 12) & 63], a[(v >> 6) & 63], '='};
    }
    return out;
}

class OcrRoutes : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempFolder;
        ServerOptions options;
        options.dataDir = s_dir->path();
        options.cloudPort = 0;
        options.accountPort = 0;
        options.engineCount = 1;
        options.urlTimeoutSeconds = 2;
        s_server = new KelsorServer(options);
        std::string error;
        ASSERT_TRUE(s_server->Start(error)) << error;
        CloudUser user;
        ASSERT_TRUE(s_server->Context().cloudUsers.AddUser("dom", "bob", "pw\"1", "cn-north-4",
                                                           user, error));
        s_projectId = user.projectId;
        // A local web server for pictures given by url.
        s_web = new LoopbackHttpServer;
        s_web->Http().Get("/slow.png", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::seconds(4));
            res.set_content("late", "image/png");
        });
        s_web->Http().Get("/huge.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(11 * 1024 * 1024, 'x'), "image/png");
        });
        s_web->Http().Get("/text.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(ReadFile(s_dir->file("hello.png")), "image/png");
        });
        ASSERT_TRUE(s_web->Start());
        ASSERT_TRUE(
            kelsor::test::RenderTextPicture({"Hello Kelsor"}, 40, s_dir->file("hello.png")));
    }
    static void TearDownTestSuite() {
        delete s_web;
        delete s_server;
        delete s_dir;
    }

    std::unique_ptr<httplib::SSLClient> Client() {
        auto client = std::make_unique<httplib::SSLClient>("localhost", s_server->CloudPort());
        client->set_ca_cert_path(s_server->CertificatePath().c_str());
        client->enable_server_certificate_verification(true);
        client->set_read_timeout(60);
        return client;
    }

    std::string TokenBody(const std::string& domain, const std::string& user,
                          const std::string& password, const std::string& project) {
        Json::Value body;
        Json::Value& identity = body["auth"]["identity"];
        identity["methods"].append("password");
        identity["password"]["user"]["domain"]["name"] = domain;
        identity["password"]["user"]["name"] = user;
        identity["password"]["user"]["password"] = password;
        body["auth"]["scope"]["project"]["name"] = project;
        return CompactJson(body);
    }

    std::string Token() {
        auto client = Client();
        auto res = client->Post("/v3/auth/tokens", TokenBody("dom", "bob", "pw\"1", "cn-north-4"),
                                "application/json");
        return res ? res->get_header_value("X-Subject-Token") : "";
    }

    // Posts a general-text body; returns status and the parsed reply.
    std::pair<int, Json::Value> Ocr(const std::string& body, const std::string& token,
                                    const std::string& path = "/v1.0/ocr/general-text") {
        auto client = Client();
        httplib::Headers headers;
        if (!token.empty()) {
            headers.emplace("X-Auth-Token", token);
        }
        auto res = client->Post(path.c_str(), headers, body, "application/json");
        if (!res) {
            return {-1, Json::Value()};
        }
        return {res->status, ParseJson(res->body)};
    }

    std::pair<int, Json::Value> OcrImage(const std::string& bytes, const std::string& token) {
        Json::Value body;
        body["image"] = ToBase64(bytes);
        return Ocr(CompactJson(body), token);
    }

    static inline TempFolder* s_dir = nullptr;
    static inline KelsorServer* s_server = nullptr;
    static inline LoopbackHttpServer* s_web = nullptr;
    static inline std::string s_projectId;
};

}  // namespace

TEST_F(OcrRoutes, TokenRequestGivesTheTokenHeaderAndTheProjectBody) {
    auto client = Client();
    auto res = client->Post("/v3/auth/tokens", TokenBody("dom", "bob", "pw\"1", "cn-north-4"),
                            "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 201);
    EXPECT_GE(res->get_header_value("X-Subject-Token").size(), 32u);
    const Json::Value body = ParseJson(res->body);
    EXPECT_EQ(body["token"]["project"]["name"].asString(), "cn-north-4");
    EXPECT_EQ(body["token"]["project"]["id"].asString(), s_projectId);
    EXPECT_EQ(body["token"]["methods"][0].asString(), "password");
    EXPECT_FALSE(body["token"]["expires_at"].asString().empty());
    EXPECT_FALSE(body["token"]["issued_at"].asString().empty());
}

TEST_F(OcrRoutes, TokenRequestRefusesWrongCredentialsAndMalformedBodies) {
    auto client = Client();
    for (const auto& body : {TokenBody("dom", "bob", "pw", "cn-north-4"),
                             TokenBody("dom", "eve", "pw\"1", "cn-north-4"),
                             TokenBody("other", "bob", "pw\"1", "cn-north-4"),
                             TokenBody("dom", "bob", "pw\"1", "cn-east-3")}) {
        auto res = client->Post("/v3/auth/tokens", body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 401) << body;
        EXPECT_EQ(ParseJson(res->body)["error"]["code"].asInt(), 401);
        EXPECT_TRUE(res->get_header_value("X-Subject-Token").empty());
    }
    for (const char* body : {"{\"auth\": ", "[1,2]", "{\"auth\":{}}", ""}) {
        auto res = client->Post("/v3/auth/tokens", body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << body;
    }
}

TEST_F(OcrRoutes, RecognisesAPictureOnBothPathsAndFromAUrl) {
    const std::string token = Token();
    const std::string png = ReadFile(s_dir->file("hello.png"));
    Json::Value body;
    body["image"] = ToBase64(png);
    for (const std::string& path :
         {std::string("/v1.0/ocr/general-text"), "/v2/" + s_projectId + "/ocr/general-text"}) {
        const auto [status, reply] = Ocr(CompactJson(body), token, path);
        ASSERT_EQ(status, 200) << CompactJson(reply);
        EXPECT_EQ(reply["result"]["direction"].asInt(), -1);
        EXPECT_EQ(reply["result"]["words_block_count"].asInt(), 1);
        const Json::Value& block = reply["result"]["words_block_list"][0];
        EXPECT_EQ(block["words"].asString(), "Hello Kelsor");
        EXPECT_EQ(block["location"].size(), 4u);
        EXPECT_GT(block["confidence"].asDouble(), 0.5);
    }
    EXPECT_EQ(Ocr(CompactJson(body), token, "/v2/0000/ocr/general-text").first, 403);

    Json::Value byUrl;
    byUrl["url"] = s_web->Url("/text.png");
    const auto [status, reply] = Ocr(CompactJson(byUrl), token);
    ASSERT_EQ(status, 200);
    EXPECT_EQ(reply["result"]["words_block_list"][0]["words"].asString(), "Hello Kelsor");
}

TEST_F(OcrRoutes, AcceptsMimeLineBreaksAndEscapedLineEndsInTheBase64) {
    const std::string token = Token();
    std::string base64 = ToBase64(ReadFile(s_dir->file("hello.png")));
    for (std::size_t at = 76; at < base64.size(); at += 78) {
        base64.insert(at, "\r\n");
    }
    Json::Value body;
    body["image"] = base64;  // the writer escapes CR LF as \r\n inside the string
    const auto [status, reply] = Ocr(CompactJson(body), token);
    ASSERT_EQ(status, 200);
    EXPECT_EQ(reply["result"]["words_block_list"][0]["words"].asString(), "Hello Kelsor");
}

TEST_F(OcrRoutes, RefusesMissingUnknownAndExpiredTokens) {
    Json::Value body;
    body["image"] = ToBase64(ReadFile(s_dir->file("hello.png")));
    auto [missing, missingReply] = Ocr(CompactJson(body), "");
    EXPECT_EQ(missing, 401);
    EXPECT_EQ(missingReply["error_code"].asString().rfind("ModelArts.", 0), 0u);
    auto [unknown, unknownReply] = Ocr(CompactJson(body), "0123456789abcdef");
    EXPECT_EQ(unknown, 401);
    EXPECT_EQ(unknownReply["error_code"].asString().rfind("ModelArts.", 0), 0u);

    TempFolder dir;
    ServerOptions options;
    options.dataDir = dir.path();
    options.cloudPort = 0;
    options.accountPort = 0;
    options.engineCount = 1;
    options.tokenTtlSeconds = 0;  // every token is expired at once
    KelsorServer expiring(options);
    std::string error;
    ASSERT_TRUE(expiring.Start(error)) << error;
    CloudUser user;
    ASSERT_TRUE(expiring.Context().cloudUsers.AddUser("d", "u", "p", "cn-north-4", user, error));
    httplib::SSLClient client("localhost", expiring.CloudPort());
    client.set_ca_cert_path(expiring.CertificatePath().c_str());
    client.enable_server_certificate_verification(true);
    auto tokenReply =
        client.Post("/v3/auth/tokens", TokenBody("d", "u", "p", "cn-north-4"), "application/json");
    ASSERT_TRUE(tokenReply);
    ASSERT_EQ(tokenReply->status, 201);
    auto res = client.Post("/v1.0/ocr/general-text",
                           {{"X-Auth-Token", tokenReply->get_header_value("X-Subject-Token")}},
                           CompactJson(body), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401);
    EXPECT_EQ(ParseJson(res->body)["error_code"].asString(), "ModelArts.0204");
}

TEST_F(OcrRoutes, BadInputGetsTheProviderErrorCodes) {
    const std::string token = Token();
    auto code = [&](const std::string& body) {
        const auto [status, reply] = Ocr(body, token);
        EXPECT_EQ(status, 400) << body.substr(0, 100);
        return reply["error_code"].asString();
    };
    const std::string png = ReadFile(s_dir->file("hello.png"));
    EXPECT_EQ(code("{}"), "AIS.0101");
    EXPECT_EQ(code("not json"), "AIS.0101");
    EXPECT_EQ(code("{\"image\": 5}"), "AIS.0101");
    EXPECT_EQ(code("{\"image\": \"\"}"), "AIS.0101");
    EXPECT_EQ(code("{\"url\": [\"x\"]}"), "AIS.0101");
    EXPECT_EQ(code("{\"image\": \"" + ToBase64(png) + "\", \"url\": \"http://x/\"}"), "AIS.0101");
    EXPECT_EQ(code("{\"url\": \"ftp://127.0.0.1/a.png\"}"), "AIS.0101");
    EXPECT_EQ(code("{\"url\": \"C:\\\\pics\\\\http://a.png\"}"), "AIS.0101");
    EXPECT_EQ(code("{\"image\": \"%%%\"}"), "AIS.0102");
    EXPECT_EQ(code("{\"image\": \"" + ToBase64("just some text, no picture") + "\"}"), "AIS.0102");
    EXPECT_EQ(code("{\"image\": \"" + std::string(10 * 1024 * 1024 + 4, 'A') + "\"}"), "AIS.0103");
    const std::string web = s_web->Url();
    EXPECT_EQ(code("{\"url\": \"" + web + "/huge.png\"}"), "AIS.0103");
    EXPECT_EQ(code("{\"url\": \"" + web + "/missing.png\"}"), "AIS.0101");
    EXPECT_EQ(code("{\"url\": \"" + web + "/slow.png\"}"), "AIS.0101");  // bounded in time

    for (const auto& [width, height] : {std::pair{14, 100}, {100, 14}, {8193, 20}}) {
        ASSERT_TRUE(kelsor::test::SaveBlankPicture(width, height, s_dir->file("odd.png")));
        EXPECT_EQ(OcrImage(ReadFile(s_dir->file("odd.png")), token).second["error_code"].asString(),
                  "AIS.0103")
            << width << "x" << height;
    }
    std::string truncated = png.substr(0, png.size() / 2);
    EXPECT_EQ(OcrImage(truncated, token).second["error_code"].asString(), "AIS.0104");
}

TEST_F(OcrRoutes, UnknownPathsAndTheAccountListenerAnswerCleanly) {
    auto client = Client();
    auto res = client->Get("/nowhere");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    EXPECT_FALSE(ParseJson(res->body)["error_code"].asString().empty());

    httplib::Client account("127.0.0.1", s_server->AccountPort());
    auto health = account.Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
    auto other = account.Get("/api/v3/anything");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 404);
}
