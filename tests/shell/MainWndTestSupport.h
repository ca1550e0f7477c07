#pragma once

#include <httplib.h>

#include <QApplication>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttpServer.h"
#include "TempFolder.h"
#include "UiTestSupport.h"
#include "shell/CMainWnd.h"

// Shared by the main window tests: a recording main window, a real account
// API with an avatar on loopback, and small waits that keep Qt running.
namespace kelsor::shelltest {

// The real main window, recording the custom messages that reach it. The
// messages that open and close account windows are only recorded: those
// windows are web pages with tests of their own.
class RecordingMainWnd : public kelsor::shell::CMainWnd {
public:
    std::vector<unsigned int> messages;
    kelsor::ui::LRESULT HandleMessage(kelsor::ui::UINT msg, kelsor::ui::WPARAM w,
                                      kelsor::ui::LPARAM l) override {
        if (msg >= 2125 && msg <= 2154)
            messages.push_back(msg);
        if (msg == 2141 || msg == 2146 || msg == 2148 || msg == 2149 || msg == 2150)
            return 0;
        return CMainWnd::HandleMessage(msg, w, l);
    }
    int Count(unsigned int msg) const {
        int n = 0;
        for (unsigned int m : messages)
            n += m == msg ? 1 : 0;
        return n;
    }
};

// Runs Qt's events until `done` holds or about `seconds` passed.
inline bool WaitFor(const std::function<bool()>& done, int seconds = 10) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (done())
            return true;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The account API's auto-login call and the avatar picture.
class AccountApi {
public:
    AccountApi() {
        m_server.Http().Get(R"(/api/v3/user/autologin/.*)",
                            [this](const httplib::Request&, httplib::Response& response) {
                                std::lock_guard lock(m_mutex);
                                ++m_requests;
                                response.set_content(m_body, "application/json; charset=utf-8");
                            });
        m_server.Http().Get(R"(/api/v3/soft/.*)",
                            [this](const httplib::Request&, httplib::Response& r) {
                                std::lock_guard lock(m_mutex);
                                r.set_content(m_software, "application/json; charset=utf-8");
                            });
        m_server.Http().Get("/avatar.png",
                            [this](const httplib::Request&, httplib::Response& response) {
                                std::lock_guard lock(m_mutex);
                                response.set_content(m_avatar, "image/png");
                            });
        m_server.Start();
        m_port = m_server.Port();
    }
    std::wstring host() const { return L"127.0.0.1:" + std::to_wstring(m_port); }
    std::string avatarUrl() const {
        return "http://127.0.0.1:" + std::to_string(m_port) + "/avatar.png";
    }
    void answer(std::string body) {
        std::lock_guard lock(m_mutex);
        m_body = std::move(body);
    }
    void software(std::string body) {
        std::lock_guard lock(m_mutex);
        m_software = std::move(body);
    }
    void avatar(std::string bytes) {
        std::lock_guard lock(m_mutex);
        m_avatar = std::move(bytes);
    }
    int requests() {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    std::mutex m_mutex;
    std::string m_body;
    std::string m_avatar;
    std::string m_software;
    int m_requests = 0;
    // Declared last: it stops before what its handlers use goes.
    kelsor::test::LoopbackHttpServer m_server;
    int m_port = 0;
};

// A PNG of a plain square, as the account service serves avatars.
std::string SquarePng(int size, unsigned int argb);

}  // namespace kelsor::shelltest
