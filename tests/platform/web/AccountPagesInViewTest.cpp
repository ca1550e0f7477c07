// The account pages in a real web view: what they ask of the program and of
// the account API as a user signs in, registers or binds a phone.

#include <QJsonDocument>
#include <QJsonObject>

#include "AccountPagesFixture.h"

namespace kelsor::platform::test {
namespace {

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
    ASSERT_TRUE(RequestCode());
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
    EXPECT_EQ(Submit(L"mobile", L"1380013", L"submit"), L"请输入正确的11位手机号");
    Type(L"mobile", L"13800138000");
    Submit(L"password", L"wrong", L"submit");
    ASSERT_TRUE(WaitFor([&] { return Text(L"message") == L"手机号或密码错误"; }));
    EXPECT_EQ(CountCalls(L"moblielogin"), 0u);

    Click(L"remember");  // unchecked: the sign-in reports "0"
    Submit(L"password", L"secret1", L"submit");
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
    ASSERT_TRUE(RequestCode());
    Type(L"smscode", L"482913");
    EXPECT_EQ(Submit(L"password", L"123", L"submit"), L"密码长度为6-20位");
    Submit(L"password", L"abc123", L"submit");
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
    EXPECT_EQ(Submit(L"account", L"abc", L"authorize"), L"请输入正确的QQ号码");
    Submit(L"account", L"10001", L"authorize");
    const auto login = WaitCall(L"thirdlogin", L"qqlogin");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->count, 3u);
    EXPECT_EQ(Record(*login)["nickname"].toString(), "企鹅");
    EXPECT_EQ(Record(*login)["sp"].toString(), "1.0");
    EXPECT_EQ(CountCalls(L"bindcellphoneshowqq"), 0u);
}

TEST_F(AccountPagesTest, ThirdPartyPagesSendANewAccountToPhoneBindingOrBack) {
    struct Case {
        bool qq;
        const wchar_t* account;
        const wchar_t* bindAction;
        const wchar_t* boundId;
        const wchar_t* closeAction;
        const wchar_t* loginAction;
    };
    const Case cases[] = {
        {true, L"12345", L"bindcellphoneshowqq", L"qq-12345", L"qqclosewnd", L"qqlogin"},
        {false, L"wx_tester", L"bindcellphoneshowwx", L"wechat-wx_tester", L"wechatclosewnd",
         L"wechatlogin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromWCharArray(c.account).toStdString());
        m_calls.clear();
        c.qq ? OpenQQ(kQQPath) : OpenSmall(kWeChatPath);
        Submit(L"account", c.account, L"authorize");
        const auto bind = WaitCall(L"registerlogin", c.bindAction);
        ASSERT_TRUE(bind);
        EXPECT_EQ(bind->count, 3u);
        EXPECT_EQ(bind->data, c.boundId);
        Click(L"back");
        const auto back = WaitCall(L"thirdlogin", c.closeAction);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->count, 2u);
        EXPECT_EQ(CountCalls(c.loginAction), 0u);
        m_view->Destroy();
        m_view = nullptr;
    }
}

TEST_F(AccountPagesTest, BindPhonePageSignsInWithTheBoundRecordOrCloses) {
    OpenSmall(kBindPath);
    Type(L"mobile", L"13600136000");
    ASSERT_TRUE(RequestCode());
    Submit(L"smscode", L"000000", L"bind");
    ASSERT_TRUE(WaitFor([&] { return Text(L"message") == L"验证码错误"; }));
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
