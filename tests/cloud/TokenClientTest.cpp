#include "FakeCloud.h"
#include "app/JsonText.h"
#include "cloud/HWOcrClientToken.h"

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using kelsor::HWOcrClientToken;
using kelsor::testing::FakeCloud;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

// A loopback port on which nothing listens (yet).
int UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Runs get_token() and returns what it printed.
std::string GetTokenPrinted(HWOcrClientToken& client) {
    CaptureStdout();
    client.get_token();
    return GetCapturedStdout();
}

// The same with the credentials most tests use.
std::string SignInPrinted(HWOcrClientToken& client) {
    client.SetAuthInfo("user", "pass", "domain", "cn-north-4");
    return GetTokenPrinted(client);
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

}  // namespace

TEST(TokenClient, TakesTheExactCaseHeaderWithoutItsLineEndAndSendsTheBodyAsDescribed) {
    FakeCloud cloud;
    cloud.UseForClient();
    cloud.IssueToken("X-Subject-Token", "abc");
    HWOcrClientToken client;
    const std::string out = SignInPrinted(client);
    EXPECT_EQ(client.GetToken(), "abc");
    const std::string host = "iam.cn-north-4.localhost:" + std::to_string(cloud.port());
    EXPECT_NE(out.find("endpoint: " + host + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("URL: https://" + host + "/v3/auth/tokens\n"), std::string::npos);
    EXPECT_NE(out.find("get token success\n"), std::string::npos);
    EXPECT_EQ(cloud.tokenContentType(), "application/json");
    EXPECT_EQ(cloud.tokenBody(),
              R"({"auth": {"identity": {"password": {"user": {"domain": {"name": "domain"},)"
              R"("name": "user","password": "pass"}},"methods": ["password"]},)"
              R"("scope": {"project": {"name": "cn-north-4"}}}})");
}

// HTTP/2 would bring the header name in lower case; the requests keep to
// HTTP/1.1 even when the host offers HTTP/2.
TEST(TokenClient, RequestsGoOutAsHttp11WhenTheHostOffersHttp2) {
    FakeCloud cloud;
    cloud.UseForClient();
    cloud.PreferHttp2();
    HWOcrClientToken client;
    SignInPrinted(client);
    EXPECT_EQ(client.GetToken(), "token-1");
    EXPECT_EQ(cloud.tokenVersion(), "HTTP/1.1");
    EXPECT_EQ(cloud.tokenRequests, 1);
}

TEST(TokenClient, LowerCaseHeaderIsNotTaken) {
    FakeCloud cloud;
    cloud.UseForClient();
    cloud.IssueToken("x-subject-token", "abc");
    HWOcrClientToken client;
    EXPECT_NE(SignInPrinted(client).find("get token success"), std::string::npos);
    EXPECT_EQ(client.GetToken(), "");
}

TEST(TokenClient, QuoteAndBackslashInCredentialsAreEscaped) {
    FakeCloud cloud;
    cloud.UseForClient();
    HWOcrClientToken client;
    client.SetAuthInfo("us\"er", "pa\"ss\\\",\"x\": \"", "dom\\ain", "cn-north-4");
    GetTokenPrinted(client);
    Json::Value body;
    ASSERT_TRUE(kelsor::ParseJsonObject(cloud.tokenBody(), body)) << cloud.tokenBody();
    const Json::Value& user = body["auth"]["identity"]["password"]["user"];
    EXPECT_EQ(user["password"].asString(), "pa\"ss\\\",\"x\": \"");
    EXPECT_EQ(user["name"].asString(), "us\"er");
    EXPECT_EQ(user["domain"]["name"].asString(), "dom\\ain");
    EXPECT_EQ(user.size(), 3u) << "nothing was injected";
}

TEST(TokenClient, ThreeTransportFailuresThenALaterCallSucceeds) {
    const int port = UnusedPort();
    ::setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(port)).c_str(), 1);
    HWOcrClientToken client;
    const std::string out = SignInPrinted(client);
    EXPECT_EQ(client.GetToken(), "");
    EXPECT_EQ(Count(out, " get_token curl_easy_perform() failed:7,"), 3) << out;
    EXPECT_EQ(Count(out, "get token success"), 0);

    FakeCloud cloud(port);
    cloud.UseForClient();
    EXPECT_NE(GetTokenPrinted(client).find("get token success"), std::string::npos);
    EXPECT_EQ(client.GetToken(), "token-1");
    EXPECT_EQ(cloud.tokenRequests, 1);
}

TEST(TokenClient, AnUntrustedCertificateIsRefusedAndThePasswordNeverSent) {
    FakeCloud trusted;
    FakeCloud impostor;  // its own key and certificate
    ::setenv("KELSOR_CLOUD_DOMAIN", (".localhost:" + std::to_string(impostor.port())).c_str(), 1);
    ::setenv("KELSOR_CLOUD_CA_FILE", trusted.certPath().c_str(), 1);
    HWOcrClientToken client;
    client.SetAuthInfo("user", "secret", "domain", "cn-north-4");
    const std::string out = GetTokenPrinted(client);
    EXPECT_EQ(client.GetToken(), "");
    EXPECT_EQ(Count(out, " get_token curl_easy_perform() failed:60,"), 3) << out;
    EXPECT_EQ(impostor.tokenRequests, 0);

    // Trusting the right certificate makes the same server acceptable.
    impostor.UseForClient();
    GetTokenPrinted(client);
    EXPECT_EQ(client.GetToken(), "token-1");
}

TEST(TokenClient, HeldTokenIsReusedOnlyForTheCredentialsItWasIssuedFor) {
    FakeCloud cloud;
    cloud.UseForClient();
    cloud.onToken = [&cloud](const httplib::Request&, httplib::Response& res) {
        res.status = 201;
        res.set_header("X-Subject-Token", "token-" + std::to_string(cloud.tokenRequests.load()));
    };
    HWOcrClientToken client;
    client.SetAuthInfo("alice", "pw", "domain", "cn-north-4");
    CaptureStdout();
    client.get_token();
    client.SetAuthInfo("alice", "pw", "domain", "cn-north-4");
    client.get_token();
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("m_token is not null.\n"), std::string::npos);
    EXPECT_EQ(cloud.tokenRequests, 1);
    EXPECT_EQ(client.GetToken(), "token-1");

    client.SetAuthInfo("bob", "pw2", "domain", "cn-north-4");
    GetTokenPrinted(client);
    EXPECT_EQ(cloud.tokenRequests, 2);
    EXPECT_EQ(client.GetToken(), "token-2");
    EXPECT_NE(cloud.tokenBody().find("\"name\": \"bob\""), std::string::npos);
}
