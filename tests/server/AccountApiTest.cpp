// The account service's API on an in-process kelsor-server: codes, sign-in,
// registration, third-party stand-ins, phone binding, auto-login, software
// information and the installer download.
#include "AccountTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TempFolder.h"
#include "server/KelsorServer.h"
#include "server/account/AccountApi.h"
#include "server/account/AccountService.h"
#include "server/account/CompanionInstaller.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <initializer_list>
#include <thread>
#include <utility>

using namespace kelsor::server;
using namespace kelsor::test;
using namespace kelsor::testing;

namespace {

struct Reply {
    int status = -1;
    std::string contentType;
    Json::Value json;
};

class AccountApi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempFolder;
        s_installer = std::string("#!/bin/sh\necho installer\n") + std::string(3000, '\x7f');
        WriteFile(s_dir->file("installer"), s_installer);
        ServerOptions options;
        options.dataDir = s_dir->file("data");
        options.cloudPort = 0;
        options.accountPort = 0;
        options.engineCount = 1;
        options.companionInstaller = s_dir->file("installer");
        s_server = new KelsorServer(options);
        std::string error;
        ASSERT_TRUE(s_server->Start(error)) << error;
        // Time moves only when a test says so.
        s_server->Context().accounts->SetClock(
            [] { return std::chrono::system_clock::now() + std::chrono::seconds(s_skew.load()); });
    }
    static void TearDownTestSuite() {
        delete s_server;
        delete s_dir;
    }
    void TearDown() override { s_skew = 0; }

    static std::string Host() {
        return "api.kelsor.localhost:" + std::to_string(s_server->AccountPort());
    }

    static Reply Done(const httplib::Result& result) {
        Reply reply;
        if (result) {
            reply.status = result->status;
            reply.contentType = result->get_header_value("Content-Type");
            reply.json = ParseJson(result->body);
        }
        return reply;
    }

    static Reply Post(const std::string& path, const std::string& body) {
        httplib::Client client("127.0.0.1", s_server->AccountPort());
        return Done(client.Post(path.c_str(), {{"Host", Host()}}, body, "application/json"));
    }
    static Reply Post(const std::string& path, const Json::Value& body) {
        return Post(path, CompactJson(body));
    }
    // Posts a JSON object of string members.
    static Reply PostFields(const std::string& path,
                            std::initializer_list<std::pair<const char*, std::string>> fields) {
        Json::Value body;
        for (const auto& [name, value] : fields) {
            body[name] = value;
        }
        return Post(path, body);
    }
    static Reply Get(const std::string& path) {
        httplib::Client client("127.0.0.1", s_server->AccountPort());
        return Done(client.Get(path.c_str(), {{"Host", Host()}}));
    }

    static std::string Code(const std::string& mobile, const std::string& scene) {
        return PostFields("/api/v3/user/smscode", {{"mobile", mobile}, {"scene", scene}})
            .json["data"]["smscode"]
            .asString();
    }
    static Reply LoginByCode(const std::string& mobile, const std::string& code) {
        return PostFields(
            "/api/v3/user/login",
            {{"mobile", mobile}, {"smscode", code}, {"ver", "1.0.0.1"}, {"channel", "official"}});
    }
    static Reply LoginByPassword(const std::string& mobile, const std::string& password) {
        return PostFields("/api/v3/user/login", {{"mobile", mobile}, {"password", password}});
    }
    static Reply Register(const std::string& mobile, const std::string& code,
                          const std::string& password) {
        return PostFields("/api/v3/user/register",
                          {{"mobile", mobile}, {"smscode", code}, {"password", password}});
    }
    static Reply ThirdAuth(const std::string& provider, const std::string& account,
                           const std::string& nickname = "") {
        return PostFields("/api/v3/user/thirdauth",
                          {{"provider", provider}, {"account", account}, {"nickname", nickname}});
    }
    static Reply BindPhone(const std::string& userId, const std::string& mobile,
                           const std::string& code) {
        return PostFields("/api/v3/user/bindphone",
                          {{"userid", userId}, {"mobile", mobile}, {"smscode", code}});
    }
    static Reply AutoLogin(const std::string& userId, const std::string& token) {
        return Get("/api/v3/user/autologin/pro/ocr/ver/1.0.0.1/channel/official/userid/" + userId +
                   "/token/" + token);
    }

    static void ExpectFailure(const Reply& reply, const std::string& msg = "") {
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.contentType, "application/json; charset=utf-8");
        ASSERT_TRUE(reply.json["code"].isString());
        EXPECT_NE(reply.json["code"].asString(), "200");
        EXPECT_FALSE(reply.json["msg"].asString().empty());
        if (!msg.empty()) {
            EXPECT_EQ(reply.json["msg"].asString(), msg);
        }
    }

    static inline TempFolder* s_dir = nullptr;
    static inline KelsorServer* s_server = nullptr;
    static inline std::string s_installer;
    static inline std::atomic<long> s_skew{0};
};

}  // namespace

TEST_F(AccountApi, AutoLoginHandsOutTheRecordWithAFreshTokenEachTime) {
    std::string error;
    auto demo = s_server->Context().accounts->EnsureDemoUser(error);
    ASSERT_TRUE(demo) << error;
    auto session = s_server->Context().accounts->StartSession(demo->userId, error);
    ASSERT_TRUE(session) << error;

    Reply first = AutoLogin(demo->userId, session->token);
    EXPECT_EQ(first.contentType, "application/json; charset=utf-8");
    ASSERT_EQ(first.json["code"], "200") << CompactJson(first.json);
    const Json::Value& record = first.json["data"];
    ASSERT_TRUE(IsUserRecord(record)) << CompactJson(record);
    EXPECT_EQ(record["userid"].asString(), demo->userId);
    EXPECT_EQ(record["nickname"].asString(), "演示用户");
    EXPECT_EQ(record["mobile"].asString(), "13800000000");
    EXPECT_EQ(record["avatar"].asString(), "http://" + Host() + "/avatar/" + demo->userId + ".png");
    EXPECT_EQ(record["hwregion"].asString(), "cn-north-4");
    EXPECT_GE(record["token"].asString().size(), 32u);  // at least 128 bits in hex
    EXPECT_NE(record["token"].asString(), session->token);

    // The used token is gone; the new one works once more and is replaced again.
    EXPECT_EQ(AutoLogin(demo->userId, session->token).json["code"], "401");
    Reply second = AutoLogin(demo->userId, record["token"].asString());
    ASSERT_EQ(second.json["code"], "200");
    EXPECT_NE(second.json["data"]["token"], record["token"]);
    EXPECT_EQ(second.json["data"]["hwpassword"], record["hwpassword"]);
}

TEST_F(AccountApi, AutoLoginRefusesWrongUnknownAndExpiredTokens) {
    std::string error;
    auto demo = s_server->Context().accounts->EnsureDemoUser(error);
    ASSERT_TRUE(demo);
    auto session = s_server->Context().accounts->StartSession(demo->userId, error);
    ASSERT_TRUE(session);

    std::string wrong = session->token;
    wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
    for (const Reply& reply :
         {AutoLogin(demo->userId, wrong), AutoLogin("99999999", session->token),
          AutoLogin("abc", session->token), AutoLogin(demo->userId, session->token + "0")}) {
        ExpectFailure(reply);
        EXPECT_EQ(reply.json["code"], "401");
        EXPECT_FALSE(reply.json.isMember("data"));
    }
    // 31 days later the 30-day session has run out.
    s_skew = 31L * 24 * 3600;
    Reply expired = AutoLogin(demo->userId, session->token);
    ExpectFailure(expired, "登录已过期，请重新登录");
    EXPECT_EQ(expired.json["code"], "401");
}

TEST_F(AccountApi, TheRecordsCloudCredentialsObtainAnIdentityToken) {
    const Reply signedIn = LoginByCode("13911110001", Code("13911110001", "login"));
    ASSERT_EQ(signedIn.json["code"], "200");
    const Json::Value& record = signedIn.json["data"];

    Json::Value body;
    Json::Value& identity = body["auth"]["identity"];
    identity["methods"].append("password");
    identity["password"]["user"]["domain"]["name"] = record["hwdomainname"];
    identity["password"]["user"]["name"] = record["hwusername"];
    identity["password"]["user"]["password"] = record["hwpassword"];
    body["auth"]["scope"]["project"]["name"] = record["hwregion"];
    httplib::SSLClient cloud("localhost", s_server->CloudPort());
    cloud.set_ca_cert_path(s_server->CertificatePath().c_str());
    cloud.enable_server_certificate_verification(true);
    auto result = cloud.Post("/v3/auth/tokens", CompactJson(body), "application/json");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 201) << result->body;
    EXPECT_FALSE(result->get_header_value("X-Subject-Token").empty());
}

TEST_F(AccountApi, SoftwareInformationNamesTheInstallerAndItsDigest) {
    const Reply info = Get("/api/v3/soft/ocr/ver/1.0.0.1/channel/official");
    ASSERT_EQ(info.json["code"], "200");
    const Json::Value& data = info.json["data"];
    EXPECT_EQ(data["sp"], "1.0");
    EXPECT_EQ(data["pdfname"], "KelsorPDFConver");
    EXPECT_EQ(data["pdfparam"], "/S");
    const std::string url = data["pdfdlurl"].asString();
    ASSERT_EQ(url, "http://" + Host() + "/download/KelsorPDFConverInst");

    httplib::Client client("127.0.0.1", s_server->AccountPort());
    auto download = client.Get(url.substr(url.find('/', 7)).c_str());
    ASSERT_TRUE(download);
    EXPECT_EQ(download->status, 200);
    EXPECT_EQ(download->body, s_installer);
    EXPECT_EQ(data["pdfmd5"].asString(), account::Md5Hex(download->body));
    EXPECT_EQ(account::Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(AccountApiInstaller, AMissingInstallerIsAFailureReplyAndA404Download) {
    TempFolder dir;
    ServerOptions options;
    options.companionInstaller = dir.file("none");
    CloudUserStore cloudUsers;
    auto service = std::make_shared<account::AccountService>(options, cloudUsers);
    LoopbackHttpServer server;
    account::RegisterAccountApi(server.Http(), service, options);
    ASSERT_TRUE(server.Start());
    httplib::Client client("127.0.0.1", server.Port());
    auto info = client.Get("/api/v3/soft/ocr/ver/1/channel/x");
    auto download = client.Get("/download/KelsorPDFConverInst");
    server.Stop();
    ASSERT_TRUE(info);
    EXPECT_EQ(ParseJson(info->body)["code"], "404");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->status, 404);
}

TEST_F(AccountApi, CodesAreSixDigitsForAGoodMobileAndScene) {
    const std::string code = Code("13911110002", "login");
    ASSERT_EQ(code.size(), 6u);
    EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos);

    Json::Value body;
    body["scene"] = "login";
    for (const char* mobile : {"1391111000", "139111100021", "23911110002", "1391111000a", ""}) {
        body["mobile"] = mobile;
        ExpectFailure(Post("/api/v3/user/smscode", body), "手机号格式不正确");
    }
    body["mobile"] = "13911110002";
    body["scene"] = "other";
    ExpectFailure(Post("/api/v3/user/smscode", body));
    body["scene"] = 1;
    ExpectFailure(Post("/api/v3/user/smscode", body));
    // The demo account's mobile is taken.
    body["mobile"] = "13800000000";
    body["scene"] = "register";
    ExpectFailure(Post("/api/v3/user/smscode", body), "该手机号已注册，请直接登录");
}

TEST_F(AccountApi, SignInByCodeRegistersOnTheSpotAndUsesTheCodeOnce) {
    const std::string mobile = "13911110003";
    ExpectFailure(LoginByCode(mobile, "123456"), "验证码错误");  // none asked for
    const std::string code = Code(mobile, "login");
    const std::string wrong = code == "000000" ? "000001" : "000000";
    ExpectFailure(LoginByCode(mobile, wrong), "验证码错误");

    const Reply first = LoginByCode(mobile, code);
    ASSERT_EQ(first.json["code"], "200") << CompactJson(first.json);
    ASSERT_TRUE(IsUserRecord(first.json["data"]));
    EXPECT_EQ(first.json["data"]["mobile"], mobile);
    EXPECT_EQ(first.json["data"]["nickname"], "");
    ExpectFailure(LoginByCode(mobile, code), "验证码错误");  // used up

    // The same account next time, with another token; no password was set.
    const Reply second = LoginByCode(mobile, Code(mobile, "login"));
    ASSERT_EQ(second.json["code"], "200");
    EXPECT_EQ(second.json["data"]["userid"], first.json["data"]["userid"]);
    EXPECT_NE(second.json["data"]["token"], first.json["data"]["token"]);
    EXPECT_EQ(second.json["data"]["hwusername"], first.json["data"]["hwusername"]);
    ExpectFailure(LoginByPassword(mobile, ""), "手机号或密码错误");
    ExpectFailure(LoginByPassword(mobile, "anything"), "手机号或密码错误");
}

TEST_F(AccountApi, CodesExpireAfterTenMinutesAndAFewWrongTriesUseThemUp) {
    const std::string mobile = "13911110004";
    std::string code = Code(mobile, "login");
    s_skew = 11 * 60;
    ExpectFailure(LoginByCode(mobile, code), "验证码已过期，请重新获取");
    s_skew = 0;

    code = Code(mobile, "login");
    const std::string wrong = code == "000000" ? "000001" : "000000";
    for (int i = 0; i < 5; ++i) {
        ExpectFailure(LoginByCode(mobile, wrong), "验证码错误");
    }
    ExpectFailure(LoginByCode(mobile, code), "验证码错误");
    // A newer code replaces an older one.
    const std::string older = Code(mobile, "login");
    const std::string newer = Code(mobile, "login");
    if (older != newer) {
        ExpectFailure(LoginByCode(mobile, older));
    }
    EXPECT_EQ(LoginByCode(mobile, newer).json["code"], "200");
}

TEST_F(AccountApi, RegistrationSetsAPasswordAndSignsIn) {
    const std::string mobile = "13911110005";
    ExpectFailure(Register(mobile, Code(mobile, "register"), "12345"), "密码长度为6-20位");
    ExpectFailure(Register(mobile, Code(mobile, "register"), std::string(21, 'x')),
                  "密码长度为6-20位");
    ExpectFailure(Register(mobile, "", "secret1"), "验证码错误");
    // A login code is not a registration code.
    ExpectFailure(Register(mobile, Code(mobile, "login"), "secret1"), "验证码错误");

    const Reply registered = Register(mobile, Code(mobile, "register"), "密码是六个字");
    ASSERT_EQ(registered.json["code"], "200") << CompactJson(registered.json);
    ASSERT_TRUE(IsUserRecord(registered.json["data"]));
    EXPECT_FALSE(registered.json["data"]["hwpassword"].asString().empty());

    ExpectFailure(Register(mobile, Code(mobile, "login"), "secret1"), "该手机号已注册，请直接登录");
    const Reply byPassword = LoginByPassword(mobile, "密码是六个字");
    ASSERT_EQ(byPassword.json["code"], "200");
    EXPECT_EQ(byPassword.json["data"]["userid"], registered.json["data"]["userid"]);
    ExpectFailure(LoginByPassword(mobile, "密码是六个"), "手机号或密码错误");
    ExpectFailure(LoginByPassword("13911119999", "密码是六个字"), "手机号或密码错误");
}

TEST_F(AccountApi, AThirdPartyAccountSignsInOnceItHasAPhone) {
    ExpectFailure(ThirdAuth("weibo", "123"));
    ExpectFailure(ThirdAuth("qq", ""));

    const Reply first = ThirdAuth("qq", "10001", "小明");
    ASSERT_EQ(first.json["code"], "200");
    EXPECT_EQ(first.json["data"]["bound"], false);
    const std::string userId = first.json["data"]["userid"].asString();
    EXPECT_FALSE(userId.empty());
    EXPECT_FALSE(first.json["data"].isMember("user"));
    EXPECT_EQ(ThirdAuth("qq", "10001").json["data"]["userid"], userId);

    const std::string mobile = "13911110006";
    ExpectFailure(BindPhone(userId, mobile, "000000"), "验证码错误");
    const Reply bound = BindPhone(userId, mobile, Code(mobile, "bind"));
    ASSERT_EQ(bound.json["code"], "200") << CompactJson(bound.json);
    ASSERT_TRUE(IsUserRecord(bound.json["data"]));
    EXPECT_EQ(bound.json["data"]["userid"], userId);
    EXPECT_EQ(bound.json["data"]["mobile"], mobile);
    EXPECT_EQ(bound.json["data"]["nickname"], "小明");

    const Reply again = ThirdAuth("qq", "10001");
    ASSERT_EQ(again.json["code"], "200");
    EXPECT_EQ(again.json["data"]["bound"], true);
    EXPECT_EQ(again.json["data"]["userid"], userId);
    ASSERT_TRUE(IsUserRecord(again.json["data"]["user"]));
    EXPECT_EQ(again.json["data"]["user"]["mobile"], mobile);
    // Binding twice is refused, as is binding a phone account.
    ExpectFailure(BindPhone(userId, "13911110007", Code("13911110007", "bind")),
                  "该帐号已绑定手机号");
    ExpectFailure(BindPhone("99999999", mobile, Code(mobile, "bind")), "帐号不存在");
    ExpectFailure(BindPhone("nonsense", mobile, Code(mobile, "bind")), "帐号不存在");
}

TEST_F(AccountApi, BindingAnExistingPhoneLinksTheThirdPartyIdentityToIt) {
    const std::string mobile = "13911110008";
    const Reply phone = LoginByCode(mobile, Code(mobile, "login"));
    ASSERT_EQ(phone.json["code"], "200");
    const std::string phoneId = phone.json["data"]["userid"].asString();

    const std::string wechatId = ThirdAuth("wechat", "wx-abc").json["data"]["userid"].asString();
    ASSERT_NE(wechatId, phoneId);
    const Reply linked = BindPhone(wechatId, mobile, Code(mobile, "bind"));
    ASSERT_EQ(linked.json["code"], "200") << CompactJson(linked.json);
    EXPECT_EQ(linked.json["data"]["userid"], phoneId);
    EXPECT_EQ(linked.json["data"]["hwusername"], phone.json["data"]["hwusername"]);

    const Reply viaWechat = ThirdAuth("wechat", "wx-abc");
    EXPECT_EQ(viaWechat.json["data"]["bound"], true);
    EXPECT_EQ(viaWechat.json["data"]["userid"], phoneId);
    // The stand-in account is gone.
    ExpectFailure(BindPhone(wechatId, "13911110009", Code("13911110009", "bind")), "帐号不存在");

    // A second WeChat identity cannot take the same phone.
    const std::string otherId = ThirdAuth("wechat", "wx-def").json["data"]["userid"].asString();
    ExpectFailure(BindPhone(otherId, mobile, Code(mobile, "bind")), "该手机号已绑定其他微信帐号");
    // A QQ identity can.
    const std::string qqId = ThirdAuth("qq", "20002").json["data"]["userid"].asString();
    EXPECT_EQ(BindPhone(qqId, mobile, Code(mobile, "bind")).json["data"]["userid"], phoneId);
}

TEST_F(AccountApi, MalformedBodiesAndUnknownPathsGetJsonFailures) {
    for (const char* path : {"/api/v3/user/smscode", "/api/v3/user/login", "/api/v3/user/register",
                             "/api/v3/user/thirdauth", "/api/v3/user/bindphone"}) {
        for (const char* body : {"", "not json", "{\"mobile\":", "[1,2]", "\"text\"", "{}",
                                 "{\"mobile\":13911110010,\"smscode\":123456,\"password\":1,"
                                 "\"userid\":1,\"provider\":1,\"account\":1,\"scene\":1}"}) {
            SCOPED_TRACE(std::string(path) + " " + body);
            ExpectFailure(Post(path, std::string(body)));
        }
    }
    // Unknown API paths are 404s, still with a JSON body.
    for (const Reply& reply :
         {Get("/api/v3/user/nothing"), Post("/api/v3/user/autologin", std::string("{}")),
          Get("/api/v3/user/login"),
          Get("/api/v3/user/autologin/pro/ocr/ver/1/channel/x/userid/1")}) {
        EXPECT_EQ(reply.status, 404);
        EXPECT_EQ(reply.json["code"], "404");
        EXPECT_FALSE(reply.json["msg"].asString().empty());
    }
}

// A server stopped the moment Start returns stops: a listener whose thread
// had not begun to accept used to miss the stop and keep the stop waiting
// for ever (seen on a loaded machine).
TEST(ServerLifetime, AServerStoppedAsSoonAsItStartsStops) {
    TempFolder dir;
    for (int i = 0; i < 8; ++i) {
        ServerOptions options;
        options.dataDir = dir.file("data");
        options.cloudPort = 0;
        options.accountPort = 0;
        options.engine = "tesseract";
        options.engineCount = 1;
        KelsorServer server(options);
        std::string error;
        ASSERT_TRUE(server.Start(error)) << error;
    }
}
