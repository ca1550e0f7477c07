#pragma once

#include <mutex>
#include <string>
#include <utility>

#include "LoopbackHttpServer.h"

namespace kelsor::test {

// The account API on a free loopback port, answering with what the test sets:
// the auto-login call (it records the user id and token asked), the software
// information with the converter installer it names, and avatar pictures.
class StandInAccountApi {
public:
    StandInAccountApi();

    // "127.0.0.1:<port>", and the same with "http://" before it.
    std::wstring Host() const;
    std::wstring Base() const;
    std::string AvatarUrl() const;

    void AnswerAutoLogin(std::string body);
    void AnswerSoftware(std::string body);
    void ServeInstaller(std::string bytes);
    void ServeAvatar(std::string bytes);

    int AutoLoginCalls();
    // Requests for the software information and for the installer.
    int SoftwareCalls();
    std::string LastUserId();
    std::string LastToken();

private:
    // Under the lock the server's handlers take.
    template <class T>
    void Set(T& field, T value) {
        std::lock_guard lock(m_mutex);
        field = std::move(value);
    }
    template <class T>
    T Get(const T& field) {
        std::lock_guard lock(m_mutex);
        return field;
    }

    std::mutex m_mutex;
    std::string m_autoLogin;
    std::string m_software;
    std::string m_installer;
    std::string m_avatar;
    int m_autoLoginCalls = 0;
    int m_softwareCalls = 0;
    std::string m_userid;
    std::string m_token;
    LoopbackHttpServer m_server;  // last: stops before the state above goes
};

}  // namespace kelsor::test
