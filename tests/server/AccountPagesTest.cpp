// The account listener's web side: product site, account pages, static
// files, avatars; and the pieces behind them (codes, avatar picture).
#include "AccountTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TempFolder.h"
#include "server/account/AccountService.h"
#include "server/account/AvatarPng.h"
#include "server/account/PageTemplate.h"
#include "server/account/SitePages.h"
#include "server/account/SmsCodes.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <QImage>

#include <filesystem>
#include <optional>
#include <thread>

using namespace kelsor::server;
using namespace kelsor::test;
using namespace kelsor::testing;

namespace {

// The site alone on a plain listener, with the source tree's pages.
class AccountPages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempFolder;
        s_cloudUsers = new CloudUserStore;
        s_service = std::make_shared<account::AccountService>(s_options, *s_cloudUsers);
        std::string error;
        const std::string database = s_dir->file("db.sqlite");
        ASSERT_TRUE(s_cloudUsers->Open(database, error)) << error;
        ASSERT_TRUE(s_service->Open(database, error)) << error;
        s_server = new LoopbackHttpServer;
        account::RegisterSitePages(s_server->Http(), s_service, s_options);
        ASSERT_TRUE(s_server->Start());
    }
    static void TearDownTestSuite() {
        delete s_server;
        s_service.reset();
        delete s_cloudUsers;
        delete s_dir;
    }

    static httplib::Result Get(const std::string& path) {
        httplib::Client client("127.0.0.1", s_server->Port());
        return client.Get(path.c_str());
    }
    static std::string Www(const std::string& name) {
        return account::WwwFolder(s_options) + "/" + name;
    }

    static inline ServerOptions s_options;
    static inline TempFolder* s_dir = nullptr;
    static inline CloudUserStore* s_cloudUsers = nullptr;
    static inline std::shared_ptr<account::AccountService> s_service;
    static inline LoopbackHttpServer* s_server = nullptr;
};

}  // namespace

TEST_F(AccountPages, PagesAreServedAtTheirRoutesAsUtf8Html) {
    const std::pair<const char*, const char*> routes[] = {
        {"/index/index/blank", ""},
        {"/index/account/login/pro/ocr/ver/1.0.0.1/channel/official", "注册登录"},
        {"/index/account/qqlogin/pro/ocr/ver/1.0.0.1/channel/official", "QQ登录"},
        {"/index/account/wechatlogin/pro/ocr/ver/1.0.0.1/channel/official", "微信登录"},
        {"/index/account/bindphone/pro/ocr/ver/1.0.0.1/channel/official/uid/10000001", "绑定手机"},
    };
    for (const auto& [route, title] : routes) {
        SCOPED_TRACE(route);
        auto result = Get(route);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
        EXPECT_EQ(result->body.rfind("<!doctype html>", 0), 0u);
        EXPECT_NE(result->body.find("<title>" + std::string(title) + "</title>"),
                  std::string::npos);
        EXPECT_EQ(result->body.find("<!--#"), std::string::npos);  // every shared part put in
    }
    // A segment must not be empty, and the bind-phone page needs a user id.
    EXPECT_EQ(Get("/index/account/login/pro/ocr/ver//channel/official")->status, 404);
    EXPECT_EQ(Get("/index/account/bindphone/pro/ocr/ver/1/channel/x/uid/")->status, 404);
}

TEST(PageTemplate, PartsAreFilledInAndBadPartLinesRefuseThePage) {
    TempFolder www;
    std::filesystem::create_directories(www.file("pages"));
    std::filesystem::create_directories(www.file("parts"));
    WriteFile(www.file("parts/head.html"), "<title>{{title}}</title>\n");
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"<!--#part \"head.html\" title=\"A\" -->\n<p>", "<title>A</title>\n<p>"},
        {"<p>\n<!--#part \"head.html\" -->\n", "<p>\n<title>{{title}}</title>\n"},
        {"<!--#part \"missing.html\" -->\n", std::nullopt},
        {"<!--#part \"../pages/p.html\" -->\n", std::nullopt},
        {"<!--#part head.html -->\n", std::nullopt},
    };
    for (const auto& [page, expected] : cases) {
        SCOPED_TRACE(page);
        WriteFile(www.file("pages/p.html"), page);
        EXPECT_EQ(account::AssemblePage(www.path(), "p.html"), expected);
    }
    EXPECT_EQ(account::AssemblePage(www.path(), "none.html"), std::nullopt);
}

TEST_F(AccountPages, TheProductSiteHasAChineseHomeAndAboutPage) {
    for (const char* path : {"/", "/about"}) {
        auto result = Get(path);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
        EXPECT_NE(result->body.find("KelsorOCR文字识别"), std::string::npos);
    }
    EXPECT_NE(Get("/about")->body.find("关于我们"), std::string::npos);
}

TEST_F(AccountPages, StaticFilesHaveTheirTypesAndNothingOutsideIsReachable) {
    auto css = Get("/static/kelsor.css");
    ASSERT_TRUE(css);
    EXPECT_EQ(css->status, 200);
    EXPECT_EQ(css->get_header_value("Content-Type"), "text/css; charset=utf-8");
    EXPECT_EQ(css->body, ReadFile(Www("static/kelsor.css")));
    auto js = Get("/static/kelsor.js");
    ASSERT_TRUE(js);
    EXPECT_EQ(js->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
    EXPECT_EQ(js->body, ReadFile(Www("static/kelsor.js")));

    for (const char* path :
         {"/static/..", "/static/.", "/static/../pages/login.html",
          "/static/..%2fpages%2flogin.html", "/static/%2e%2e%2f%2e%2e%2fAccountRoutes.cpp",
          "/static/%2e%2e", "/static/.hidden.css", "/static/missing.css", "/static/kelsor.css.bak",
          "/static/", "/static//etc/passwd", "/static/%2fetc%2fpasswd"}) {
        SCOPED_TRACE(path);
        auto result = Get(path);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 404);
        EXPECT_EQ(result->body.find("<html"), std::string::npos);
    }
    EXPECT_EQ(account::StaticContentType("a.png"), "image/png");
    EXPECT_EQ(account::StaticContentType("a.html"), "");
}

TEST_F(AccountPages, EveryAccountHasAnAvatarPicture) {
    std::string error;
    auto user = s_service->Store().Create("", "13922220001", "", std::nullopt, "", error);
    ASSERT_TRUE(user) << error;
    auto result = Get("/avatar/" + user->userId + ".png");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(result->body, account::DefaultAvatarPng(user->userId));
    EXPECT_EQ(Get("/avatar/99999999.png")->status, 404);
    EXPECT_EQ(Get("/avatar/abc.png")->status, 404);
}

TEST(AccountAvatar, IsAValidPngWithATransparentCornerAndAWhiteFigure) {
    const std::string png = account::DefaultAvatarPng("10000001", 96);
    QImage image;
    ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(png.data()),
                                   static_cast<int>(png.size()), "PNG"));
    EXPECT_EQ(image.size(), QSize(96, 96));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(image.pixelColor(48, 38), QColor(255, 255, 255));  // the head
    const QColor disc = image.pixelColor(48, 6);
    EXPECT_EQ(disc.alpha(), 255);
    EXPECT_NE(disc, QColor(255, 255, 255));
    // Seeds pick colours; the same seed always the same picture.
    EXPECT_EQ(png, account::DefaultAvatarPng("10000001", 96));
}

TEST(AccountSmsCodes, ExpireReplaceAndAreUsedUpByWrongTries) {
    account::SmsCodes codes;
    const auto now = std::chrono::system_clock::now();
    const std::string code = codes.Issue("13900000001", "login", now).value();
    using account::CodeCheck;
    EXPECT_EQ(codes.Check("13900000001", "register", code, now), CodeCheck::Wrong);
    EXPECT_EQ(codes.Check("13900000002", "login", code, now), CodeCheck::Wrong);
    EXPECT_EQ(codes.Check("13900000001", "login", code, now + std::chrono::minutes(9)),
              CodeCheck::Valid);
    EXPECT_EQ(codes.Check("13900000001", "login", code, now + std::chrono::minutes(10)),
              CodeCheck::Expired);
    EXPECT_EQ(codes.Check("13900000001", "login", code, now), CodeCheck::Wrong);  // dropped

    const std::string again = codes.Issue("13900000001", "login", now).value();
    codes.Consume("13900000001", "login");
    EXPECT_EQ(codes.Check("13900000001", "login", again, now), CodeCheck::Wrong);
}

TEST(AccountCloudCredentials, AreMadeOnceAndAgainWhenTheServerRegionChanges) {
    TempFolder dir;
    const std::string database = dir.file("db.sqlite");
    CloudUserStore cloudUsers;
    std::string error;
    ASSERT_TRUE(cloudUsers.Open(database, error)) << error;
    ServerOptions north;
    account::AccountService first(north, cloudUsers);
    ASSERT_TRUE(first.Open(database, error)) << error;
    auto user = first.Store().Create("", "13944440001", "", std::nullopt, "", error);
    ASSERT_TRUE(user) << error;
    EXPECT_TRUE(user->cloudUser.empty());  // not before the first sign-in
    auto one = first.StartSession(user->userId, error);
    auto two = first.StartSession(user->userId, error);
    ASSERT_TRUE(one && two) << error;
    EXPECT_EQ(one->user.cloudUser, two->user.cloudUser);
    EXPECT_NE(one->token, two->token);
    EXPECT_TRUE(
        cloudUsers.Verify(one->user.cloudDomain, one->user.cloudUser, one->user.cloudPassword));

    ServerOptions east;
    east.region = "cn-east-3";
    account::AccountService second(east, cloudUsers);
    ASSERT_TRUE(second.Open(database, error)) << error;
    auto moved = second.StartSession(user->userId, error);
    ASSERT_TRUE(moved) << error;
    EXPECT_EQ(moved->user.cloudRegion, "cn-east-3");
    EXPECT_NE(moved->user.cloudUser, one->user.cloudUser);
    const auto verified = cloudUsers.Verify(moved->user.cloudDomain, moved->user.cloudUser,
                                            moved->user.cloudPassword);
    ASSERT_TRUE(verified);
    EXPECT_EQ(verified->projectName, "cn-east-3");
}
