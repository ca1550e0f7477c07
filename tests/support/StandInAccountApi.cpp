#include "StandInAccountApi.h"

namespace kelsor::test {

namespace {

// A handler that answers with `body` (read under `mutex`) and counts.
auto Answer(std::mutex& mutex, const std::string& body, int& calls, const char* type) {
    return [&mutex, &body, &calls, type](const httplib::Request&, httplib::Response& response) {
        std::lock_guard lock(mutex);
        ++calls;
        response.set_content(body, type);
    };
}

constexpr const char* kJson = "application/json; charset=utf-8";

}  // namespace

StandInAccountApi::StandInAccountApi() {
    httplib::Server& http = m_server.Http();
    http.Get(
        R"(/api/v3/user/autologin/pro/ocr/ver/([^/]*)/channel/([^/]*)/userid/([^/]+)/token/([^/]+))",
        [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(m_mutex);
            ++m_autoLoginCalls;
            m_userid = request.matches[3];
            m_token = request.matches[4];
            response.set_content(m_autoLogin, kJson);
        });
    http.Get(R"(/api/v3/soft/ocr/ver/([^/]*)/channel/([^/]*))",
             Answer(m_mutex, m_software, m_softwareCalls, kJson));
    http.Get("/download/KelsorPDFConverInst",
             Answer(m_mutex, m_installer, m_softwareCalls, "application/octet-stream"));
    http.Get("/avatar.png", [this](const httplib::Request&, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        response.set_content(m_avatar, "image/png");
    });
    m_server.Start();
}

std::wstring StandInAccountApi::Host() const {
    return L"127.0.0.1:" + std::to_wstring(m_server.Port());
}

std::wstring StandInAccountApi::Base() const {
    return L"http://" + Host();
}

std::string StandInAccountApi::AvatarUrl() const {
    return m_server.Url("/avatar.png");
}

void StandInAccountApi::AnswerAutoLogin(std::string body) {
    Set(m_autoLogin, std::move(body));
}

void StandInAccountApi::AnswerSoftware(std::string body) {
    Set(m_software, std::move(body));
}

void StandInAccountApi::ServeInstaller(std::string bytes) {
    Set(m_installer, std::move(bytes));
}

void StandInAccountApi::ServeAvatar(std::string bytes) {
    Set(m_avatar, std::move(bytes));
}

int StandInAccountApi::AutoLoginCalls() {
    return Get(m_autoLoginCalls);
}

int StandInAccountApi::SoftwareCalls() {
    return Get(m_softwareCalls);
}

std::string StandInAccountApi::LastUserId() {
    return Get(m_userid);
}

std::string StandInAccountApi::LastToken() {
    return Get(m_token);
}

}  // namespace kelsor::test
