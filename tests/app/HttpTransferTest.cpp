#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "LoopbackHttpServer.h"
#include "TempFolder.h"
#include "app/HttpTransfer.h"
#include "platform/sys/CodePage.h"
#include "server/Certificate.h"

using namespace kelsor::test;
using namespace kelsor;

namespace {

// A real HTTP server on a free loopback port for the length of one test.
class LoopbackServer {
public:
    LoopbackServer() {
        m_server.Http().Get("/text", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello", "text/plain");
        });
        m_server.Http().Get("/bom", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("\xef\xbb\xbf\xef\xbb\xbf{\"a\":1}", "application/json");
        });
        m_server.Http().Get("/gbk", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("\xca\xb6\xb1\xf0", "text/plain");
        });
        m_server.Http().Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::seconds(4));
            res.set_content("late", "text/plain");
        });
        m_server.Http().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("<h1>not here</h1>", "text/html");
        });
        m_server.Http().Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/file", 302);
        });
        // A chain of ten redirects before the body.
        m_server.Http().Get(R"(/hop/(\d+))",
                            [this](const httplib::Request& req, httplib::Response& res) {
                                ++m_hopRequests;
                                const int hop = std::stoi(req.matches[1]);
                                if (hop < 10) {
                                    res.set_redirect("/hop/" + std::to_string(hop + 1), 302);
                                } else {
                                    res.set_content("far", "text/plain");
                                }
                            });
        m_server.Http().Get("/file", [this](const httplib::Request&, httplib::Response& res) {
            ++m_fileRequests;
            res.set_content(std::string(100000, 'z') + "end", "application/octet-stream");
        });
        m_server.Start();
    }
    std::wstring url(const std::string& path) const {
        const std::string url = m_server.Url(path);
        return std::wstring(url.begin(), url.end());
    }
    int port() const { return m_server.Port(); }
    int fileRequests() const { return m_fileRequests; }
    int hopRequests() const { return m_hopRequests; }

private:
    std::atomic<int> m_fileRequests{0};
    std::atomic<int> m_hopRequests{0};
    LoopbackHttpServer m_server;  // last: stops before the counter goes
};

class HttpTransfer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitHttpGlobal(); }
    void SetUp() override {
        ASSERT_GT(m_server.port(), 0);
        ASSERT_TRUE(platform::SetCodePage("UTF-8"));
    }
    void TearDown() override { platform::SetCodePage(""); }
    LoopbackServer m_server;
};

}  // namespace

TEST_F(HttpTransfer, GetTextAnswersWithTheBodyOrTheCurlCode) {
    struct Case {
        const char* why;
        const char* path;
        const char* codePage;
        int result;
        std::wstring text;
    };
    const Case cases[] = {
        {"returns the body", "/text", "", 0, L"hello"},
        {"drops one byte order mark and nothing else", "/bom", "", 0, L"\uFEFF{\"a\":1}"},
        {"converts from the code page", "/gbk", "GBK", 0, L"\u8bc6\u522b"},
        {"an error page's body comes back as success", "/missing", "", 0, L"<h1>not here</h1>"},
        {"a slow server times out with empty text", "/slow", "", 28,
         L""},  // CURLE_OPERATION_TIMEDOUT
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(platform::SetCodePage(c.codePage) || *c.codePage == '\0');
        std::wstring text = L"old";
        EXPECT_EQ(HttpGetText(text, m_server.url(c.path)), c.result);
        EXPECT_EQ(text, c.text);
    }
}

TEST_F(HttpTransfer, RefusedConnectionReportsTheCurlCode) {
    // A port that was free a moment ago: nobody listens there now.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    close(fd);
    const int port = ntohs(address.sin_port);
    std::wstring text = L"old";
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    EXPECT_EQ(HttpGetText(text, std::wstring(url.begin(), url.end())), 7);  // CURLE_COULDNT_CONNECT
    EXPECT_EQ(text, L"");
}

TEST_F(HttpTransfer, DownloadFollowsRedirectsAndReplacesTheFile) {
    TempFolder dir;
    WriteFile(dir.file("target.bin"), std::string(300000, 'o'));  // longer than the new body
    HttpDownloadFile(m_server.url("/moved"), dir.wide("target.bin"));
    EXPECT_EQ(ReadFile(dir.file("target.bin")), std::string(100000, 'z') + "end");
    EXPECT_EQ(m_server.fileRequests(), 1);
}

TEST_F(HttpTransfer, DownloadIntoAMissingFolderTransfersNothing) {
    TempFolder dir;
    HttpDownloadFile(m_server.url("/file"), dir.wide("missing/target.bin"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
    EXPECT_EQ(m_server.fileRequests(), 0);
}

TEST_F(HttpTransfer, FailedDownloadLeavesAnEmptyFile) {
    TempFolder dir;
    WriteFile(dir.file("target.bin"), "stale");
    HttpDownloadFile(L"http://127.0.0.1:1/none", dir.wide("target.bin"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("target.bin")));
    EXPECT_EQ(ReadFile(dir.file("target.bin")), "");
}

TEST_F(HttpTransfer, DownloadFollowsAtMostFiveRedirects) {
    TempFolder dir;
    HttpDownloadFile(m_server.url("/hop/0"), dir.wide("target.bin"));
    EXPECT_EQ(ReadFile(dir.file("target.bin")), "");
    EXPECT_EQ(m_server.hopRequests(), 6);  // the first request and five redirects
}

TEST_F(HttpTransfer, OnlyHttpAndHttpsAreFetched) {
    TempFolder dir;
    WriteFile(dir.file("secret.txt"), "local");
    const std::string fileUrl = "file://" + dir.file("secret.txt");
    HttpDownloadFile(std::wstring(fileUrl.begin(), fileUrl.end()), dir.wide("target.bin"));
    EXPECT_EQ(ReadFile(dir.file("target.bin")), "");
    std::wstring text = L"old";
    EXPECT_NE(HttpGetText(text, std::wstring(fileUrl.begin(), fileUrl.end())), 0);
    EXPECT_EQ(text, L"");
}

// A server whose certificate nobody vouches for gets nothing stored.
TEST_F(HttpTransfer, HttpsDownloadNeedsATrustedCertificate) {
    TempFolder dir;
    server::CertificateFiles files;
    std::string error;
    ASSERT_TRUE(server::EnsureCloudCertificate(dir.path(), "cn-north-4", files, error)) << error;
    LoopbackHttpServer tls(
        std::make_unique<httplib::SSLServer>(files.certPath.c_str(), files.keyPath.c_str()));
    std::atomic<int> requests{0};
    tls.Http().Get("/avatar.png", [&requests](const httplib::Request&, httplib::Response& res) {
        ++requests;
        res.set_content("picture", "image/png");
    });
    ASSERT_TRUE(tls.Start());
    const std::string url = "https://127.0.0.1:" + std::to_string(tls.Port()) + "/avatar.png";
    HttpDownloadFile(std::wstring(url.begin(), url.end()), dir.wide("avatar.png"));
    EXPECT_EQ(ReadFile(dir.file("avatar.png")), "");
    EXPECT_EQ(requests, 0);
}
