#include <gtest/gtest.h>

#include "TestSupport.h"
#include "account/Session.h"
#include "account/SessionFile.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/HWOcrClientToken.h"

namespace kelsor {
namespace {

const std::wstring kPageRecord =
    LR"({"sp":"1.0","userid":"10042","nickname":"","mobile":"13800000000",)"
    LR"("avatar":"","hwusername":"iam-u","hwpassword":"pw","hwdomainname":"dom",)"
    LR"("hwregion":"cn-north-4","token":"page-token"})";

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { test::ResetSession(m_dir); }

    bool SessionSaved(std::wstring* token = nullptr) {
        std::wstring userid, readToken;
        bool ok = ReadSessionFile(App().sessionFilePath, userid, readToken);
        if (token) {
            *token = readToken;
        }
        return ok;
    }

    test::TempFolder m_dir;
    test::RecordingAccountWindow m_window;
};

TEST_F(SessionTest, ApplySessionShowsUserSignsInAndSaves) {
    UserInfo& user = CurrentUser();
    user.nickname = L"Lin";
    user.mobile = L"13800000000";
    user.userid = L"7";
    user.token = L"t-7";
    user.hwusername = L"u";
    user.hwpassword = L"p";
    user.hwdomainname = L"d";
    user.hwregion = L"r";
    ApplySession(m_window, 1);

    ASSERT_EQ(1u, m_window.signedIn.size());
    EXPECT_EQ(L"Lin", m_window.signedIn[0].first);
    EXPECT_EQ(1, m_window.signedIn[0].second);
    EXPECT_TRUE(user.loggedIn);
    std::wstring token;
    ASSERT_TRUE(SessionSaved(&token));
    EXPECT_EQ(L"t-7", token);
    // The recognition client now holds the user's region.
    EXPECT_EQ("r", OcrClientToken().GetRegion());
}

TEST_F(SessionTest, PageSignInWithEmptyNicknameShowsMobileAndClosesItsWindow) {
    auto answer = RunSessionPageAction(m_window, L"qqlogin", kPageRecord);
    ASSERT_TRUE(answer);
    EXPECT_EQ(L"0", *answer);
    ASSERT_EQ(1u, m_window.signedIn.size());
    EXPECT_EQ(L"13800000000", m_window.signedIn[0].first);
    EXPECT_EQ(0, m_window.signedIn[0].second);
    EXPECT_EQ(std::vector{AccountWindowKind::QQLogin}, m_window.closed);
    EXPECT_TRUE(CurrentUser().loggedIn);
    EXPECT_TRUE(SessionSaved());
}

TEST_F(SessionTest, UnparsablePageRecordStillClosesTheWindow) {
    RunSessionPageAction(m_window, L"bindcellphone", L"{\"sp\":\"0.9\"}");
    RunSessionPageAction(m_window, L"moblielogin", L"oops");
    EXPECT_TRUE(m_window.signedIn.empty());
    EXPECT_EQ((std::vector{AccountWindowKind::BindCellPhone, AccountWindowKind::RegisterLogin}),
              m_window.closed);
    EXPECT_FALSE(CurrentUser().loggedIn);
    EXPECT_FALSE(test::FileExists(m_dir.file("ud")));
}

TEST_F(SessionTest, SignInWithoutSavingKeepsAnOlderFile) {
    ASSERT_TRUE(WriteSessionFile(App().sessionFilePath, L"old", L"old-token"));
    SaveSession() = false;
    RunSessionPageAction(m_window, L"moblielogin", kPageRecord);
    std::wstring token;
    ASSERT_TRUE(SessionSaved(&token));
    EXPECT_EQ(L"old-token", token);
}

TEST_F(SessionTest, AutoLoginCheckIsTrueOnlyForExactlyOne) {
    const std::pair<std::wstring, bool> cases[] = {
        {L"1", true}, {L"0", false}, {L"true", false}, {L"", false}, {L" 1", false}};
    for (const auto& [data, expected] : cases) {
        SaveSession() = !expected;
        EXPECT_EQ(L"0", RunSessionPageAction(m_window, L"autologinchk", data).value());
        EXPECT_EQ(expected, SaveSession()) << AnsiToUtf8(WideToAnsi(data));
    }
}

TEST_F(SessionTest, BindPhoneFromQQOpensTheBindWindow) {
    App().bindPhonePageUrl = L"http://web.localhost/index/account/bindphone/uid/";
    RunSessionPageAction(m_window, L"bindcellphoneshowqq", L"10042");
    EXPECT_EQ(std::vector{AccountWindowKind::QQLogin}, m_window.closed);
    EXPECT_EQ(L"http://web.localhost/index/account/bindphone/uid/10042",
              App().bindPhoneTargetUrl.get());
    EXPECT_EQ(std::vector{WM_KSOCR_OPENBINDPHONE}, m_window.posted);
    RunSessionPageAction(m_window, L"bindcellphoneshowwx", L"1");
    EXPECT_EQ(AccountWindowKind::WeChatLogin, m_window.closed.back());
}

TEST_F(SessionTest, OtherActionsAreNotOurs) {
    EXPECT_FALSE(RunSessionPageAction(m_window, L"closewnd", L""));
    EXPECT_FALSE(RunSessionPageAction(m_window, L"MOBLIELOGIN", kPageRecord));
    EXPECT_TRUE(m_window.closed.empty());
}

TEST_F(SessionTest, LogOutForgetsUserDeletesFileAndTellsTheWindow) {
    RunSessionPageAction(m_window, L"moblielogin", kPageRecord);
    ASSERT_TRUE(test::FileExists(m_dir.file("ud")));
    LogOut(m_window);
    EXPECT_FALSE(CurrentUser().loggedIn);
    EXPECT_EQ(L"", CurrentUser().userid);
    EXPECT_EQ(L"", CurrentUser().hwregion);
    EXPECT_FALSE(test::FileExists(m_dir.file("ud")));
    EXPECT_EQ(std::vector{WM_KSOCR_LOGGEDOUT}, m_window.sent);
    LogOut(m_window);  // again, without a file
    EXPECT_EQ(2u, m_window.sent.size());
}

TEST_F(SessionTest, SignInGateAsksForLoginOnlyWhenSignedOut) {
    EXPECT_FALSE(PassSignInGate(m_window));
    EXPECT_EQ(std::vector{WM_KSOCR_OPENLOGIN}, m_window.sent);
    CurrentUser().loggedIn = true;
    EXPECT_TRUE(PassSignInGate(m_window));
    EXPECT_EQ(1u, m_window.sent.size());
}

}  // namespace
}  // namespace kelsor
