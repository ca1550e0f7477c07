// The account pages of server/www in a real web view: served over loopback by
// the routes of server/www/API.md with a small stand-in for the JSON API, a
// wkaction handler recording what the pages ask of the program.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "WebTestSupport.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebView.h"

namespace kelsor::platform::test {
namespace {

const std::string kWww = KELSOR_WWW_DIR;
constexpr const char* kSmsCode = "482913";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

QJsonObject Body(const httplib::Request& req) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).object();
}

QJsonObject User(const QString& userid, const QString& mobile, const QString& nickname) {
    return QJsonObject{{"sp", "1.0"},
                       {"userid", userid},
                       {"nickname", nickname},
                       {"mobile", mobile},
                       {"avatar", ""},
                       {"hwusername", "ocr_" + userid},
                       {"hwpassword", "pw-" + userid},
                       {"hwdomainname", "kelsor"},
                       {"hwregion", "cn-north-4"},
                       {"token", "tok-" + userid},
                       {"createtime", "2026-12-07 08:00:00"}};
}

void Reply(httplib::Response& res, const QJsonObject& object) {
    res.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json; charset=utf-8");
}

void Ok(httplib::Response& res, const QJsonObject& data) {
    Reply(res, QJsonObject{{"code", "200"}, {"data", data}});
}

void Fail(httplib::Response& res, const QString& message) {
    Reply(res, QJsonObject{{"code", "400"}, {"msg", message}});
}

// Serves the pages under their account-service paths and answers the API
// with fixed accounts: 13800138000 / "secret1" exists; QQ "10001" is linked
// to a phone, any other QQ or WeChat account is new.
void ServePages(httplib::Server& http) {
    const auto page = [](const std::string& file) {
        return [file](const httplib::Request&, httplib::Response& res) {
            res.set_content(ReadFile(kWww + "/pages/" + file), "text/html; charset=utf-8");
        };
    };
    http.Get("/index/index/blank", page("blank.html"));
    http.Get(R"(/index/account/login/pro/ocr/ver/[^/]+/channel/[^/]+)", page("login.html"));
    http.Get(R"(/index/account/qqlogin/pro/ocr/ver/[^/]+/channel/[^/]+)", page("qqlogin.html"));
    http.Get(R"(/index/account/wechatlogin/pro/ocr/ver/[^/]+/channel/[^/]+)",
             page("wechatlogin.html"));
    http.Get(R"(/index/account/bindphone/pro/ocr/ver/[^/]+/channel/[^/]+/uid/[^/]+)",
             page("bindphone.html"));
    http.Get(R"(/static/([A-Za-z0-9_.-]+))",
             [](const httplib::Request& req, httplib::Response& res) {
                 const std::string name = req.matches[1];
                 const std::string type = name.ends_with(".css") ? "text/css" : "text/javascript";
                 res.set_content(ReadFile(kWww + "/static/" + name), type + "; charset=utf-8");
             });
    http.Post("/api/v3/user/smscode", [](const httplib::Request& req, httplib::Response& res) {
        if (Body(req)["mobile"].toString().size() != 11) {
            return Fail(res, "手机号格式不正确");
        }
        Ok(res, QJsonObject{{"smscode", kSmsCode}});
    });
    http.Post("/api/v3/user/login", [](const httplib::Request& req, httplib::Response& res) {
        const QJsonObject body = Body(req);
        const QString mobile = body["mobile"].toString();
        if (body.contains("password")) {
            if (mobile != "13800138000" || body["password"].toString() != "secret1") {
                return Fail(res, "手机号或密码错误");
            }
        } else if (body["smscode"].toString() != kSmsCode) {
            return Fail(res, "验证码错误");
        }
        Ok(res, User("u" + mobile, mobile, ""));
    });
    http.Post("/api/v3/user/register", [](const httplib::Request& req, httplib::Response& res) {
        const QJsonObject body = Body(req);
        if (body["smscode"].toString() != kSmsCode) {
            return Fail(res, "验证码错误");
        }
        Ok(res, User("new" + body["mobile"].toString(), body["mobile"].toString(), ""));
    });
    http.Post("/api/v3/user/thirdauth", [](const httplib::Request& req, httplib::Response& res) {
        const QJsonObject body = Body(req);
        const QString account = body["account"].toString();
        if (body["provider"].toString() == "qq" && account == "10001") {
            return Ok(res, QJsonObject{{"bound", true},
                                       {"userid", "q10001"},
                                       {"user", User("q10001", "13900139000", "企鹅")}});
        }
        Ok(res,
           QJsonObject{{"bound", false}, {"userid", body["provider"].toString() + "-" + account}});
    });
    http.Post("/api/v3/user/bindphone", [](const httplib::Request& req, httplib::Response& res) {
        const QJsonObject body = Body(req);
        if (body["smscode"].toString() != kSmsCode) {
            return Fail(res, "验证码错误");
        }
        Ok(res, User(body["userid"].toString(), body["mobile"].toString(), "新用户"));
    });
}

struct Call {
    std::wstring module;
    std::wstring action;
    std::wstring data;
    size_t count;
};

class AccountPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ServePages(m_server.Http());
        m_server.Start();
        m_origin = L"http://web.kelsor.localhost:" + std::to_wstring(m_server.Port());
        WebSetTrustedOrigins({m_origin});
        WebBindFunction(L"wkaction", 5, [this](WebView*, std::vector<std::wstring> args) {
            return Handle(std::move(args));
        });
    }

    void TearDown() override {
        if (m_view != nullptr) {
            m_view->Destroy();
        }
        m_host.reset();
        WebBindFunction(L"wkaction", 5, nullptr);
        WebSetTrustedOrigins({});
    }

    // Answers as the program does for the "app" module, "0" otherwise.
    std::optional<std::wstring> Handle(std::vector<std::wstring> args) {
        Call call{args.size() > 0 ? args[0] : L"", args.size() > 1 ? args[1] : L"",
                  args.size() > 2 ? args[2] : L"", args.size()};
        m_calls.push_back(call);
        if (call.module == L"app") {
            if (call.action == L"productname")
                return L"KelsorOCR";
            if (call.action == L"ver")
                return L"1.0.0.1";
            if (call.action == L"channel")
                return L"official";
            return L"-2";
        }
        return L"0";
    }

    // A host of the window's size with the view at its rectangle.
    void Open(const std::wstring& path, int windowWidth, int windowHeight, int x, int y, int width,
              int height) {
        m_host = MakeHost(windowWidth, windowHeight);
        m_view = WebView::Create(m_host.get(), x, y, width, height);
        ASSERT_NE(m_view, nullptr);
        bool ready = false;
        m_view->OnDocumentReady([&ready](WebView* view) {
            view->Show(true);
            ready = true;
        });
        m_view->LoadUrl(m_origin + path);
        ASSERT_TRUE(WaitUntil([&] { return ready; })) << "page did not load";
        m_view->OnDocumentReady(nullptr);
    }
    // The 322 x 471 windows: caption band 30, the view below it.
    void OpenSmall(const std::wstring& path) { Open(path, 322, 471, 1, 30, 320, 440); }
    // The 670 x 440 QQ window.
    void OpenQQ(const std::wstring& path) { Open(path, 670, 440, 10, 38, 650, 392); }

    std::wstring Js(const std::wstring& script) { return Evaluate(m_view, script); }
    void Click(const std::wstring& id) { Js(L"document.getElementById('" + id + L"').click(); 0"); }
    void Type(const std::wstring& id, const std::wstring& text) {
        Js(L"document.getElementById('" + id + L"').value = '" + text + L"'; 0");
    }
    std::wstring Text(const std::wstring& id) {
        return Js(L"document.getElementById('" + id + L"').textContent");
    }

    // The first recorded call of module/action, waiting for it.
    std::optional<Call> WaitCall(const std::wstring& module, const std::wstring& action) {
        std::optional<Call> found;
        WaitUntil(
            [&] {
                for (const Call& c : m_calls) {
                    if (c.module == module && c.action == action) {
                        found = c;
                        return true;
                    }
                }
                return false;
            },
            10000);
        return found;
    }
    size_t CountCalls(const std::wstring& action) {
        return std::count_if(m_calls.begin(), m_calls.end(),
                             [&](const Call& c) { return c.action == action; });
    }

    void Screenshot(const std::string& name) {
        QDir().mkpath(KELSOR_SCREENSHOT_DIR);
        Pump(300);  // let the last frame reach the widget
        const QImage image = m_view->HostWindow()->grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(
            QString::fromStdString(std::string(KELSOR_SCREENSHOT_DIR) + "/" + name + ".png")));
    }

    LoopbackServer m_server;
    std::wstring m_origin;
    std::unique_ptr<QWidget> m_host;
    WebView* m_view = nullptr;
    std::vector<Call> m_calls;
};

const std::wstring kLoginPath = L"/index/account/login/pro/ocr/ver/1.0.0.1/channel/official";

const std::wstring kQQPath = L"/index/account/qqlogin/pro/ocr/ver/1.0.0.1/channel/official";
const std::wstring kWeChatPath = L"/index/account/wechatlogin/pro/ocr/ver/1.0.0.1/channel/official";
const std::wstring kBindPath =
    L"/index/account/bindphone/pro/ocr/ver/1.0.0.1/channel/official/uid/wechat-newuser";

// Renders each page at its window's view size into build/screenshots/web.
TEST_F(AccountPagesTest, Screenshots) {
    OpenSmall(kLoginPath);
    Screenshot("login");
    Type(L"mobile", L"13800138000");
    Click(L"sendcode");
    WaitUntil([&] { return Text(L"code-hint").find(L"482913") != std::wstring::npos; });
    Screenshot("login-code");
    Click(L"tab-reg");
    Click(L"sendcode");
    WaitUntil([&] { return Text(L"code-hint").find(L"482913") != std::wstring::npos; });
    Click(L"submit");
    WaitUntil([&] { return !Text(L"message").empty(); });
    Screenshot("login-register");
    Click(L"tab-pwd");
    Screenshot("login-password");
    m_view->Destroy();
    m_view = nullptr;

    OpenQQ(kQQPath);
    Screenshot("qqlogin");
    m_view->Destroy();
    m_view = nullptr;

    OpenSmall(kWeChatPath);
    Screenshot("wechatlogin");
    m_view->Destroy();
    m_view = nullptr;

    OpenSmall(kBindPath);
    Screenshot("bindphone");
    m_view->Destroy();
    m_view = nullptr;

    OpenSmall(L"/index/index/blank");
    Screenshot("blank");
}

QJsonObject Record(const Call& call) {
    return QJsonDocument::fromJson(QString::fromStdWString(call.data).toUtf8()).object();
}

TEST_F(AccountPagesTest, LoginPageShowsAppInfoAndSignsInWithAShownCode) {
    OpenSmall(kLoginPath);
    for (const wchar_t* action : {L"productname", L"ver", L"channel"}) {
        const auto call = WaitCall(L"app", action);
        ASSERT_TRUE(call) << "no app call for " << QString::fromWCharArray(action).toStdString();
        EXPECT_EQ(call->count, 2u);
    }
    EXPECT_EQ(Text(L"product"), L"KelsorOCR");
    EXPECT_NE(Text(L"about").find(L"1.0.0.1"), std::wstring::npos);
    EXPECT_NE(Text(L"about").find(L"official"), std::wstring::npos);

    Type(L"mobile", L"13800138000");
    Click(L"sendcode");
    ASSERT_TRUE(
        WaitUntil([&] { return Text(L"code-hint").find(L"482913") != std::wstring::npos; }));
    Click(L"code-hint");  // fills the code in
    Click(L"submit");
    const auto login = WaitCall(L"registerlogin", L"moblielogin");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->count, 3u);
    const QJsonObject record = Record(*login);
    EXPECT_EQ(record["sp"].toString(), "1.0");
    EXPECT_EQ(record["userid"].toString(), "u13800138000");
    EXPECT_EQ(record["mobile"].toString(), "13800138000");
    EXPECT_EQ(record["hwusername"].toString(), "ocr_u13800138000");
    EXPECT_EQ(record["hwpassword"].toString(), "pw-u13800138000");
    EXPECT_EQ(record["hwdomainname"].toString(), "kelsor");
    EXPECT_EQ(record["hwregion"].toString(), "cn-north-4");
    EXPECT_EQ(record["token"].toString(), "tok-u13800138000");
    EXPECT_FALSE(record.contains("createtime"));  // only the record's own members
    // The remember box is reported right before the sign-in.
    const auto remember = WaitCall(L"registerlogin", L"autologinchk");
    ASSERT_TRUE(remember);
    EXPECT_EQ(remember->data, L"1");
}

TEST_F(AccountPagesTest, LoginPageRememberBoxAndPasswordSignIn) {
    OpenSmall(kLoginPath);
    Click(L"remember");
    ASSERT_TRUE(WaitCall(L"registerlogin", L"autologinchk"));
    EXPECT_EQ(m_calls.back().data, L"0");
    EXPECT_EQ(m_calls.back().count, 3u);
    Click(L"remember");
    EXPECT_EQ(m_calls.back().data, L"1");

    Click(L"tab-pwd");
    Type(L"mobile", L"1380013");
    Click(L"submit");
    EXPECT_EQ(Text(L"message"), L"请输入正确的11位手机号");
    Type(L"mobile", L"13800138000");
    Type(L"password", L"wrong");
    Click(L"submit");
    ASSERT_TRUE(WaitUntil([&] { return Text(L"message") == L"手机号或密码错误"; }));
    EXPECT_EQ(CountCalls(L"moblielogin"), 0u);

    Click(L"remember");  // unchecked: the sign-in reports "0"
    Type(L"password", L"secret1");
    Click(L"submit");
    const auto login = WaitCall(L"registerlogin", L"moblielogin");
    ASSERT_TRUE(login);
    EXPECT_EQ(Record(*login)["userid"].toString(), "u13800138000");
    EXPECT_EQ(m_calls[m_calls.size() - 2].action, L"autologinchk");
    EXPECT_EQ(m_calls[m_calls.size() - 2].data, L"0");
}

TEST_F(AccountPagesTest, LoginPageRegistersANewUser) {
    OpenSmall(kLoginPath);
    Click(L"tab-reg");
    Type(L"mobile", L"13700137000");
    Click(L"sendcode");
    ASSERT_TRUE(
        WaitUntil([&] { return Text(L"code-hint").find(L"482913") != std::wstring::npos; }));
    Type(L"smscode", L"482913");
    Type(L"password", L"123");
    Click(L"submit");
    EXPECT_EQ(Text(L"message"), L"密码长度为6-20位");
    Type(L"password", L"abc123");
    Click(L"submit");
    const auto login = WaitCall(L"registerlogin", L"moblielogin");
    ASSERT_TRUE(login);
    EXPECT_EQ(Record(*login)["userid"].toString(), "new13700137000");
    EXPECT_EQ(Record(*login)["sp"].toString(), "1.0");
}

TEST_F(AccountPagesTest, LoginPageOpensQQAndWeChatSignIn) {
    OpenSmall(kLoginPath);
    Click(L"qqlogin");
    const auto qq = WaitCall(L"registerlogin", L"qqloginshow");
    ASSERT_TRUE(qq);
    EXPECT_EQ(qq->count, 3u);
    EXPECT_EQ(qq->data, m_origin + kQQPath);
    Click(L"wechatlogin");
    const auto wx = WaitCall(L"registerlogin", L"wechatloginshow");
    ASSERT_TRUE(wx);
    EXPECT_EQ(wx->data, m_origin + kWeChatPath);
}

TEST_F(AccountPagesTest, LoginPageOutsideTheProgramUsesItsPath) {
    WebSetTrustedOrigins({});  // the bridge answers undefined, as in a plain browser
    OpenSmall(L"/index/account/login/pro/ocr/ver/9.8.7.6/channel/test");
    EXPECT_NE(Text(L"about").find(L"9.8.7.6"), std::wstring::npos);
    EXPECT_NE(Text(L"about").find(L"test"), std::wstring::npos);
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(AccountPagesTest, QQPageSignsInALinkedAccount) {
    OpenQQ(kQQPath);
    Type(L"account", L"abc");
    Click(L"authorize");
    EXPECT_EQ(Text(L"message"), L"请输入正确的QQ号码");
    Type(L"account", L"10001");
    Click(L"authorize");
    const auto login = WaitCall(L"thirdlogin", L"qqlogin");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->count, 3u);
    EXPECT_EQ(Record(*login)["nickname"].toString(), "企鹅");
    EXPECT_EQ(Record(*login)["sp"].toString(), "1.0");
    EXPECT_EQ(CountCalls(L"bindcellphoneshowqq"), 0u);
}

TEST_F(AccountPagesTest, QQPageSendsANewAccountToPhoneBindingOrBack) {
    OpenQQ(kQQPath);
    Type(L"account", L"12345");
    Click(L"authorize");
    const auto bind = WaitCall(L"registerlogin", L"bindcellphoneshowqq");
    ASSERT_TRUE(bind);
    EXPECT_EQ(bind->count, 3u);
    EXPECT_EQ(bind->data, L"qq-12345");
    Click(L"back");
    const auto back = WaitCall(L"thirdlogin", L"qqclosewnd");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->count, 2u);
    EXPECT_EQ(CountCalls(L"qqlogin"), 0u);
}

TEST_F(AccountPagesTest, WeChatPageSendsANewAccountToPhoneBindingOrBack) {
    OpenSmall(kWeChatPath);
    Type(L"account", L"wx_tester");
    Click(L"authorize");
    const auto bind = WaitCall(L"registerlogin", L"bindcellphoneshowwx");
    ASSERT_TRUE(bind);
    EXPECT_EQ(bind->count, 3u);
    EXPECT_EQ(bind->data, L"wechat-wx_tester");
    Click(L"back");
    const auto back = WaitCall(L"thirdlogin", L"wechatclosewnd");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->count, 2u);
}

TEST_F(AccountPagesTest, BindPhonePageSignsInWithTheBoundRecordOrCloses) {
    OpenSmall(kBindPath);
    Type(L"mobile", L"13600136000");
    Click(L"sendcode");
    ASSERT_TRUE(
        WaitUntil([&] { return Text(L"code-hint").find(L"482913") != std::wstring::npos; }));
    Type(L"smscode", L"000000");
    Click(L"bind");
    ASSERT_TRUE(WaitUntil([&] { return Text(L"message") == L"验证码错误"; }));
    Click(L"code-hint");
    Click(L"bind");
    const auto bound = WaitCall(L"registerlogin", L"bindcellphone");
    ASSERT_TRUE(bound);
    EXPECT_EQ(bound->count, 3u);
    EXPECT_EQ(Record(*bound)["userid"].toString(), "wechat-newuser");
    EXPECT_EQ(Record(*bound)["mobile"].toString(), "13600136000");
    Click(L"skip");
    const auto close = WaitCall(L"registerlogin", L"bindcellphoneclosewnd");
    ASSERT_TRUE(close);
    EXPECT_EQ(close->count, 2u);
}

}  // namespace
}  // namespace kelsor::platform::test
