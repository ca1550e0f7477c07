#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "StandInAccountApi.h"
#include "TestSupport.h"
#include "account/Session.h"
#include "account/SessionFile.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"

namespace kelsor {
namespace {

std::string Record(const std::string& sp, const std::string& nickname) {
    return "{\"sp\":" + sp + ",\"userid\":\"10042\",\"nickname\":\"" + nickname +
           "\",\"mobile\":\"13800000000\",\"avatar\":\"\",\"hwusername\":\"u\","
           "\"hwpassword\":\"p\",\"hwdomainname\":\"d\",\"hwregion\":\"r\","
           "\"token\":\"fresh-token\"}";
}

std::string Reply(const std::string& code, const std::string& sp, const std::string& nickname) {
    return "{\"code\":" + code + ",\"data\":" + Record(sp, nickname) + "}";
}

class AutoLoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetSession(m_dir);
        App().autoLoginApiUrl =
            m_api.Base() + L"/api/v3/user/autologin/pro/ocr/ver/1.0.0.1/channel/10001";
    }

    // One program start: restore, and handle 2153 as the main window does.
    void Start() {
        m_window = {};
        RestoreSession(m_window);
        for (WindowMessage message : m_window.sent) {
            if (message == WM_KSOCR_AUTOLOGINREPLY) {
                HandleAutoLoginReply(m_window);
            }
        }
    }

    void SaveOldSession() {
        ASSERT_TRUE(WriteSessionFile(App().sessionFilePath, L"10042", L"old-token"));
        m_savedFile = test::ReadFile(m_dir.file("ud"));
    }

    test::TempFolder m_dir;
    test::StandInAccountApi m_api;
    test::RecordingAccountWindow m_window;
    std::string m_savedFile;
};

TEST_F(AutoLoginTest, SavedSessionSignsInAndIsSavedWithTheFreshToken) {
    SaveOldSession();
    m_api.AnswerAutoLogin(Reply("\"200\"", "\"1.0\"", ""));
    Start();
    EXPECT_EQ(1, m_api.AutoLoginCalls());
    EXPECT_EQ("10042", m_api.LastUserId());
    EXPECT_EQ("old-token", m_api.LastToken());
    EXPECT_EQ(std::vector{WM_KSOCR_AUTOLOGINREPLY}, m_window.sent);
    ASSERT_EQ(1u, m_window.signedIn.size());
    EXPECT_EQ(L"13800000000", m_window.signedIn[0].first);  // empty nickname
    EXPECT_EQ(1, m_window.signedIn[0].second);
    EXPECT_TRUE(CurrentUser().loggedIn);
    std::wstring userid, token;
    ASSERT_TRUE(ReadSessionFile(App().sessionFilePath, userid, token));
    EXPECT_EQ(L"fresh-token", token);
}

TEST_F(AutoLoginTest, RefusedRepliesLeaveUserSignedOutAndFileInPlace) {
    const std::pair<const char*, std::string> replies[] = {
        {"empty", ""},
        {"error page", "<html>502 Bad Gateway</html>"},
        {"numeric code", Reply("200", "\"1.0\"", "Lin")},
        {"401", "{\"code\":\"401\",\"msg\":\"token expired\"}"},
        {"sp 2.0", Reply("\"200\"", "\"2.0\"", "Lin")},
        {"nested too deep",
         "{\"code\":\"200\",\"data\":" + std::string(5000, '[') + std::string(5000, ']') + "}"},
    };
    SaveOldSession();
    for (const auto& [name, body] : replies) {
        SCOPED_TRACE(name);
        m_api.AnswerAutoLogin(body);
        Start();
        EXPECT_EQ(std::vector{WM_KSOCR_AUTOLOGINREPLY}, m_window.sent);
        EXPECT_TRUE(m_window.signedIn.empty());
        EXPECT_FALSE(CurrentUser().loggedIn);
        EXPECT_EQ(m_savedFile, test::ReadFile(m_dir.file("ud")));
    }
    EXPECT_EQ(6, m_api.AutoLoginCalls());
}

TEST_F(AutoLoginTest, UnreachableServerStillReportsAndKeepsTheFile) {
    SaveOldSession();
    App().autoLoginApiUrl = L"http://127.0.0.1:1/api/v3/user/autologin/pro/ocr/ver/1/channel/1";
    Start();
    EXPECT_EQ(std::vector{WM_KSOCR_AUTOLOGINREPLY}, m_window.sent);
    EXPECT_EQ(L"", App().autoLoginReply.get());
    EXPECT_FALSE(CurrentUser().loggedIn);
    EXPECT_EQ(m_savedFile, test::ReadFile(m_dir.file("ud")));
}

TEST_F(AutoLoginTest, NoRequestWithoutAUsableFile) {
    Start();  // no file at all
    test::WriteFile(m_dir.file("ud"), "definitely not a session");
    Start();
    EXPECT_EQ(0, m_api.AutoLoginCalls());
    EXPECT_TRUE(m_window.sent.empty());
    EXPECT_TRUE(test::FileExists(m_dir.file("ud")));
}

TEST_F(AutoLoginTest, AfterLogOutTheNextStartIsSignedOutWithoutRequest) {
    SaveOldSession();
    m_api.AnswerAutoLogin(Reply("\"200\"", "\"1.0\"", "Lin"));
    Start();
    ASSERT_TRUE(CurrentUser().loggedIn);
    LogOut(m_window);
    EXPECT_FALSE(test::FileExists(m_dir.file("ud")));

    CurrentUser() = UserInfo{};  // a new process
    Start();
    EXPECT_EQ(1, m_api.AutoLoginCalls());
    EXPECT_TRUE(m_window.sent.empty());
    EXPECT_FALSE(CurrentUser().loggedIn);
}

TEST_F(AutoLoginTest, UncheckedAutoLoginLeavesNothingForTheNextStart) {
    RunSessionPageAction(m_window, L"autologinchk", L"0");
    RunSessionPageAction(m_window, L"moblielogin", AnsiToWide(Record("\"1.0\"", "Lin")));
    ASSERT_TRUE(CurrentUser().loggedIn);
    EXPECT_FALSE(test::FileExists(m_dir.file("ud")));
    CurrentUser() = UserInfo{};
    SaveSession() = true;  // a new process
    Start();
    EXPECT_EQ(0, m_api.AutoLoginCalls());
    EXPECT_FALSE(CurrentUser().loggedIn);
}

}  // namespace
}  // namespace kelsor
