// Auto-login against a real kelsor-server: the session file made from the
// server's own session signs the user in at start-up, the cloud credentials
// of the record obtain an identity token from the same server, and the file
// then holds the rotated token that works at the next start.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "LocalService.h"
#include "TestSupport.h"
#include "account/Session.h"
#include "account/SessionFile.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/HWOcrClientToken.h"

namespace kelsor {
namespace {

// The value of the line "<key> <value>" in `output`.
std::string LineValue(const std::string& output, const std::string& key) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(key + " ", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

std::string RunCapture(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        ::pclose(pipe);
    }
    return output;
}

class RealServerAutoLoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetSession(m_dir);
        const std::string data = m_dir.file("server");
        // The demo account's session, as a newcomer's first start gets it.
        const std::string session =
            RunCapture(std::string(KELSOR_SERVER_EXE) + " demo-session --data " + data + " 2>&1");
        m_userid = LineValue(session, "userid");
        m_token = LineValue(session, "token");
        ASSERT_FALSE(m_userid.empty()) << session;
        ASSERT_FALSE(m_token.empty()) << session;

        std::string error;
        ASSERT_TRUE(m_server.Start(KELSOR_SERVER_EXE, data, m_dir.file("server.log"),
                                   {"--engine", "tesseract", "--engines", "1"}, error))
            << error;
        App().autoLoginApiUrl = L"http://api.kelsor.localhost:" +
                                std::to_wstring(m_server.AccountPort()) +
                                L"/api/v3/user/autologin/pro/ocr/ver/1.0.0.1/channel/10001";
        ASSERT_TRUE(
            WriteSessionFile(App().sessionFilePath, AnsiToWide(m_userid), AnsiToWide(m_token)));
    }

    // One program start, handling 2153 as the main window does.
    void Start() {
        CurrentUser() = UserInfo{};
        m_window = {};
        RestoreSession(m_window);
        for (WindowMessage message : m_window.sent) {
            if (message == WM_KSOCR_AUTOLOGINREPLY) {
                HandleAutoLoginReply(m_window);
            }
        }
    }

    test::TempFolder m_dir;
    test::LocalService m_server;
    test::RecordingAccountWindow m_window;
    std::string m_userid;
    std::string m_token;
};

TEST_F(RealServerAutoLoginTest, SavedSessionSignsInAndTheNextStartUsesTheRotatedToken) {
    Start();
    ASSERT_TRUE(CurrentUser().loggedIn) << m_server.Log();
    EXPECT_EQ(AnsiToWide(m_userid), CurrentUser().userid);
    ASSERT_EQ(1u, m_window.signedIn.size());
    EXPECT_EQ(L"演示用户", m_window.signedIn[0].first);
    // The record's cloud credentials were accepted by the identity service.
    EXPECT_FALSE(OcrClientToken().GetToken().empty()) << m_server.Log();

    std::wstring userid, rotated;
    ASSERT_TRUE(ReadSessionFile(App().sessionFilePath, userid, rotated));
    EXPECT_EQ(AnsiToWide(m_userid), userid);
    EXPECT_NE(AnsiToWide(m_token), rotated);

    Start();  // the next program start
    EXPECT_TRUE(CurrentUser().loggedIn) << m_server.Log();
}

TEST_F(RealServerAutoLoginTest, ARefusedTokenLeavesTheUserSignedOutAndTheFileInPlace) {
    ASSERT_TRUE(WriteSessionFile(App().sessionFilePath, AnsiToWide(m_userid), L"0123abcd"));
    const std::string saved = test::ReadFile(WideToAnsi(App().sessionFilePath));
    Start();
    EXPECT_FALSE(CurrentUser().loggedIn);
    EXPECT_TRUE(m_window.signedIn.empty());
    EXPECT_EQ(saved, test::ReadFile(WideToAnsi(App().sessionFilePath)));
}

}  // namespace
}  // namespace kelsor
