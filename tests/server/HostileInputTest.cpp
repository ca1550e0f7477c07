// kelsor-server against hostile requests and a failing system: bodies nested
// past the parser's depth, compressed or chunked bodies, overlapping byte
// ranges, no random bytes, a database commit that cannot finish, and a flood
// of statistics events.
#define OPENSSL_SUPPRESS_DEPRECATED  // RAND_set_rand_method: the only way to make RAND_bytes fail
#include "AccountTestSupport.h"
#include "TempFolder.h"
#include "server/CloudUserStore.h"
#include "server/KelsorServer.h"
#include "server/PictureDecoder.h"
#include "server/TokenStore.h"
#include "server/account/AccountStore.h"
#include "server/account/SmsCodes.h"
#include "server/tools/StatsStore.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/rand.h>
#include <sqlite3.h>
#include <zlib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstdio>

using namespace kelsor::server;
using namespace kelsor::test;
using namespace kelsor::testing;

namespace {

class HostileInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempFolder;
        WriteFile(s_dir->file("installer"), std::string(256 * 1024, 'i'));
        ServerOptions options;
        options.dataDir = s_dir->file("data");
        options.cloudPort = 0;
        options.accountPort = 0;
        options.engineCount = 1;
        options.engine = "tesseract";
        options.companionInstaller = s_dir->file("installer");
        s_server = new KelsorServer(options);
        std::string error;
        ASSERT_TRUE(s_server->Start(error)) << error;
        CloudUser user;
        ASSERT_TRUE(
            s_server->Context().cloudUsers.AddUser("dom", "bob", "pw", "cn-north-4", user, error));
    }
    static void TearDownTestSuite() {
        delete s_server;
        delete s_dir;
    }

    static httplib::Client Account() {
        return httplib::Client("127.0.0.1", s_server->AccountPort());
    }
    static std::unique_ptr<httplib::SSLClient> Cloud() {
        auto client = std::make_unique<httplib::SSLClient>("localhost", s_server->CloudPort());
        client->set_ca_cert_path(s_server->CertificatePath().c_str());
        client->enable_server_certificate_verification(true);
        return client;
    }
    static std::string TokenBody() {
        return R"({"auth":{"identity":{"methods":["password"],"password":{"user":{"domain":)"
               R"({"name":"dom"},"name":"bob","password":"pw"}}},"scope":{"project":)"
               R"({"name":"cn-north-4"}}}})";
    }

    static inline TempFolder* s_dir = nullptr;
    static inline KelsorServer* s_server = nullptr;
};

std::string Gzip(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Sends `request` as it is over one loopback connection and returns all the
// server writes back until it closes or goes quiet.
std::string Exchange(int port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
        timeval timeout{2, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return reply;
}

// RAND_bytes fails while one of these lives.
class NoRandomBytes {
public:
    NoRandomBytes() { RAND_set_rand_method(&kFailing); }
    ~NoRandomBytes() { RAND_set_rand_method(nullptr); }

private:
    static int Fail(unsigned char*, int) { return 0; }
    static int Status() { return 0; }
    static inline const RAND_METHOD kFailing = {nullptr, Fail, nullptr, nullptr, Fail, Status};
};

}  // namespace

TEST_F(HostileInput, BodiesNestedPastTheParserDepthGetAFailureReplyOnEveryJsonRoute) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string deepMember = "{\"mobile\":" + deep + "}";
    for (const std::string& body : {deep, deepMember}) {
        for (const char* path :
             {"/api/v3/user/smscode", "/api/v3/user/login", "/api/v3/user/register",
              "/api/v3/user/thirdauth", "/api/v3/user/bindphone"}) {
            auto res = Account().Post(path, body, "application/json");
            ASSERT_TRUE(res) << path;
            EXPECT_EQ(res->status, 200) << path;
            EXPECT_EQ(ParseJson(res->body)["code"].asString(), "400") << path;
        }
        auto cloud = Cloud();
        auto token = cloud->Post("/v3/auth/tokens", body, "application/json");
        ASSERT_TRUE(token);
        EXPECT_EQ(token->status, 400);
        EXPECT_EQ(ParseJson(token->body)["error"]["code"].asInt(), 400);
    }
    auto cloud = Cloud();
    auto token = cloud->Post("/v3/auth/tokens", TokenBody(), "application/json");
    ASSERT_TRUE(token);
    ASSERT_EQ(token->status, 201);
    const httplib::Headers auth = {{"X-Auth-Token", token->get_header_value("X-Subject-Token")}};
    for (const std::string& body : {deep, "{\"image\":" + deep + "}"}) {
        auto res = cloud->Post("/v1.0/ocr/general-text", auth, body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400);
        EXPECT_EQ(ParseJson(res->body)["error_code"].asString(), "AIS.0101");
    }
}

TEST_F(HostileInput, CompressedChunkedAndMultiRangeRequestsAreRefusedBeforeAnyBodyIsRead) {
    const std::string request = R"({"mobile":"13900000009","scene":"login"})";
    auto gzip = Account().Post("/api/v3/user/smscode", {{"Content-Encoding", "gzip"}},
                               Gzip(request), "application/json");
    ASSERT_TRUE(gzip);
    EXPECT_EQ(gzip->status, 415);
    EXPECT_EQ(ParseJson(gzip->body)["error_code"].asString(), "APIG.0415");

    // Written in one piece, so the refusal cannot race the body's sending.
    char size[16];
    std::snprintf(size, sizeof size, "%zx", request.size());
    const std::string chunked =
        Exchange(s_server->AccountPort(),
                 "POST /api/v3/user/smscode HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                 "Content-Type: application/json\r\n"
                 "Transfer-Encoding: chunked\r\n\r\n" +
                     std::string(size) + "\r\n" + request + "\r\n0\r\n\r\n");
    EXPECT_EQ(chunked.rfind("HTTP/1.1 411", 0), 0u) << chunked;

    // One range is served; many overlapping ones would repeat the file each.
    auto one = Account().Get("/download/KelsorPDFConverInst", {{"Range", "bytes=0-9"}});
    ASSERT_TRUE(one);
    EXPECT_EQ(one->status, 206);
    EXPECT_EQ(one->body, std::string(10, 'i'));
    auto many = Account().Get("/download/KelsorPDFConverInst", {{"Range", "bytes=0-,0-,0-,0-"}});
    ASSERT_TRUE(many);
    EXPECT_EQ(many->status, 416);
    EXPECT_LT(many->body.size(), 4096u);

    auto plain = Account().Post("/api/v3/user/smscode", request, "application/json");
    ASSERT_TRUE(plain);
    EXPECT_EQ(ParseJson(plain->body)["code"].asString(), "200");
}

TEST_F(HostileInput, WithoutRandomBytesNoTokenSaltOrCodeIsHandedOut) {
    CloudUser user{"d", "did", "u", "uid", "p", "pid"};
    TokenStore tokens(std::chrono::seconds(60));
    account::SmsCodes codes;
    {
        NoRandomBytes failing;
        EXPECT_FALSE(RandomHex(16));
        EXPECT_FALSE(HashPassword("secret"));
        EXPECT_FALSE(tokens.Issue(user));
        EXPECT_FALSE(codes.Issue("13900000001", "login", std::chrono::system_clock::now()));
        CloudUser added;
        std::string error;
        EXPECT_FALSE(s_server->Context().cloudUsers.AddUser("dom", "eve", "pw", "p", added, error));

        // Through the API: no code, no session, no account with a guessable salt.
        const auto post = [](const char* path, const std::string& body) {
            auto res = Account().Post(path, body, "application/json");
            return res ? ParseJson(res->body) : Json::Value();
        };
        const Json::Value code =
            post("/api/v3/user/smscode", R"({"mobile":"13900000001","scene":"login"})");
        EXPECT_EQ(code["code"].asString(), "500");
        EXPECT_FALSE(code.isMember("data"));
        const Json::Value third =
            post("/api/v3/user/thirdauth", R"({"provider":"qq","account":"12345"})");
        EXPECT_EQ(third["code"].asString(), "200");  // no session needed yet
        EXPECT_FALSE(third["data"]["bound"].asBool());
    }
    EXPECT_TRUE(RandomHex(16));
    EXPECT_TRUE(tokens.Issue(user));
}

// Found by the picture fuzzer: the GIF reader allocates each frame at the
// size of its own descriptor, whatever the header's screen size says.
TEST(PictureDecoder, RefusesGifFramesLargerThanTheLimitsBeforeDecoding) {
    std::string gif("GIF89a\x18\x00\x12\x00\x00\x00\x00", 13);           // a 24 x 18 screen
    gif += std::string("\x2c\x00\x00\x00\x00\x40\x9c\x40\x9c\x00", 10);  // 40000 x 40000
    gif += std::string("\x02\x02\x4c\x01\x00\x3b", 6);
    DecodedPicture picture;
    std::string message;
    EXPECT_EQ(DecodePicture(gif, picture, message), PictureError::SizeOutOfRange);
    // Many frames within the side limit add up past one largest picture.
    std::string frames("GIF89a\x18\x00\x12\x00\x00\x00\x00", 13);
    for (int i = 0; i < 3; ++i) {
        frames += std::string("\x2c\x00\x00\x00\x00\x00\x20\x00\x20\x00\x02\x02\x4c\x01\x00", 15);
    }
    frames += ";";
    EXPECT_EQ(DecodePicture(frames, picture, message), PictureError::SizeOutOfRange);
}

// A COMMIT that fails (a reader holds the file past the busy timeout) must
// roll back: left open, every later write of the connection would go into
// that transaction and be lost.
TEST(AccountStoreTransactions, AFailedCommitLeavesNoTransactionOpen) {
    TempFolder dir;
    const std::string path = dir.file("db.sqlite");
    account::AccountStore store;
    std::string error;
    ASSERT_TRUE(store.Open(path, error)) << error;
    const auto qq = store.Create("qq", "", "", account::Provider::QQ, "777", error);
    const auto phone = store.Create("phone", "13900000002", "", std::nullopt, "", error);
    ASSERT_TRUE(qq && phone) << error;

    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &reader), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM account_users;", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    EXPECT_FALSE(store.MergeInto(qq->userId, phone->userId, error));
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);

    EXPECT_TRUE(store.StoreToken(phone->userId, "later-token", 4102444800));
    account::AccountStore reopened;
    ASSERT_TRUE(reopened.Open(path, error)) << error;
    EXPECT_TRUE(reopened.FindById(qq->userId)) << "the failed merge must be rolled back";
    EXPECT_EQ(reopened.CheckToken(phone->userId, "later-token", 0), account::TokenResult::Valid)
        << "a write after the failed commit must be committed";
}

TEST(StatsInsertLimit, AMinuteTakesSoManyEventsPerInstallationPerSenderAndInAll) {
    tools::StatsInsertLimit limit(3, 4, 6);
    const auto start = tools::StatsInsertLimit::Clock::now();
    const struct {
        const char* installId;
        const char* peer;
        int events;
        int second;
        bool admitted;
    } steps[] = {
        {"a", "10.0.0.1", 3, 0, true},
        {"a", "10.0.0.1", 1, 10, false},  // the installation's fourth
        {"b", "10.0.0.1", 2, 15, false},  // the sender's fifth
        {"b", "10.0.0.2", 2, 20, true},
        {"c", "10.0.0.3", 2, 30, false},  // the seventh in all
        {"c", "10.0.0.3", 1, 40, true},   // the sixth
        {"a", "10.0.0.1", 3, 61, true},   // a new minute for all
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.second);
        EXPECT_EQ(step.admitted, limit.Admit({{step.installId, step.events}}, step.peer,
                                             start + std::chrono::seconds(step.second)));
    }
}

TEST(StatsInsertLimit, AnIpv6SenderIsItsNetworkAndAMappedIpv4AddressItself) {
    const std::pair<const char*, const char*> cases[] = {
        {"192.0.2.7", "192.0.2.7"},
        {"::ffff:192.0.2.7", "192.0.2.7"},
        {"2001:db8:1:2:aaaa::1", "2001:db8:1:2::/64"},
        {"2001:db8:1:2:bbbb:cccc:dddd:eeee", "2001:db8:1:2::/64"},
        {"not an address", "not an address"},
    };
    for (const auto& [address, peer] : cases) {
        EXPECT_EQ(tools::StatsPeer(address), peer) << address;
    }
}
