#include "AccountPagesFixture.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "TempFolder.h"
#include "server/account/PageTemplate.h"

namespace kelsor::platform::test {
namespace {

using kelsor::test::ReadFile;

const std::string kWww = KELSOR_WWW_DIR;

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

}  // namespace

void ServePages(httplib::Server& http) {
    const auto page = [](const std::string& file) {
        return [file](const httplib::Request&, httplib::Response& res) {
            res.set_content(server::account::AssemblePage(kWww, file).value_or(""),
                            "text/html; charset=utf-8");
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

}  // namespace kelsor::platform::test
