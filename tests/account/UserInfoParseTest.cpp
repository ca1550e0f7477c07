#include <gtest/gtest.h>

#include "account/UserInfoParse.h"
#include "platform/sys/CodePage.h"

#include <initializer_list>

namespace kelsor {
namespace {

const std::wstring kRecord =
    LR"({"sp":"1.0","userid":"10042","nickname":"Lin","mobile":"13800000000",)"
    LR"("avatar":"http://api.localhost/avatar/10042.png","hwusername":"iam-u",)"
    LR"("hwpassword":"p@ss","hwdomainname":"dom","hwregion":"cn-north-4","token":"tk1"})";

std::wstring Reply(const std::wstring& code, const std::wstring& data) {
    return L"{\"code\":" + code + L",\"data\":" + data + L"}";
}

// Every text is refused and leaves the record as it was.
template <typename Parse>
void ExpectAllRejected(Parse parse, std::initializer_list<std::wstring> texts) {
    for (const auto& text : texts) {
        SCOPED_TRACE(platform::WideToUtf8(text));
        UserInfo user;
        user.userid = L"before";
        EXPECT_NE(0, parse(text, user));
        EXPECT_EQ(L"before", user.userid);
        EXPECT_FALSE(user.loggedIn);
    }
}

TEST(ParseUserInfo, BareRecordFillsEveryField) {
    UserInfo user;
    ASSERT_EQ(0, ParseUserInfo(kRecord, user));
    EXPECT_EQ(L"1.0", user.sp);
    EXPECT_EQ(L"10042", user.userid);
    EXPECT_EQ(L"Lin", user.nickname);
    EXPECT_EQ(L"13800000000", user.mobile);
    EXPECT_EQ(L"http://api.localhost/avatar/10042.png", user.avatar);
    EXPECT_EQ(L"iam-u", user.hwusername);
    EXPECT_EQ(L"p@ss", user.hwpassword);
    EXPECT_EQ(L"dom", user.hwdomainname);
    EXPECT_EQ(L"cn-north-4", user.hwregion);
    EXPECT_EQ(L"tk1", user.token);
    EXPECT_FALSE(user.loggedIn);
}

TEST(ParseUserInfo, OnlyJsonStringsCount) {
    UserInfo user;
    user.nickname = L"old";
    ASSERT_EQ(0, ParseUserInfo(LR"({"sp":"1.0","userid":10042,"nickname":null,)"
                               LR"("mobile":true,"avatar":["x"],"token":{"a":"b"}})",
                               user));
    EXPECT_EQ(L"", user.userid);
    EXPECT_EQ(L"", user.nickname);
    EXPECT_EQ(L"", user.mobile);
    EXPECT_EQ(L"", user.avatar);
    EXPECT_EQ(L"", user.token);
    EXPECT_EQ(L"", user.hwregion);
}

TEST(ParseUserInfo, RejectsWhatIsNotAVersionOneRecord) {
    ExpectAllRejected(ParseUserInfo, {
                                         L"",
                                         L"not json",
                                         L" {\"sp\":\"1.0\"}",  // must start with the brace
                                         L"{\"sp\":\"1.0\"",
                                         LR"({"sp":"2.0","userid":"x"})",
                                         LR"({"sp":1.0,"userid":"x"})",
                                         LR"({"userid":"x"})",
                                     });
}

TEST(ParseAutoLoginReply, ReadsTheDataObject) {
    UserInfo user;
    ASSERT_EQ(0, ParseAutoLoginReply(Reply(L"\"200\"", kRecord), user));
    EXPECT_EQ(L"10042", user.userid);
    EXPECT_EQ(L"tk1", user.token);
    EXPECT_EQ(L"cn-north-4", user.hwregion);
}

TEST(ParseAutoLoginReply, FailuresLeaveTheUserAlone) {
    ExpectAllRejected(ParseAutoLoginReply, {
                                               L"",
                                               L"<html><body>502 Bad Gateway</body></html>",
                                               Reply(L"200", kRecord),  // number, not string
                                               Reply(L"\"401\"", kRecord),
                                               Reply(L"null", kRecord),
                                               L"{\"code\":\"200\"}",
                                               Reply(L"\"200\"", L"\"text\""),
                                               Reply(L"\"200\"", L"[1,2]"),
                                               Reply(L"\"200\"", LR"({"sp":"1.1","userid":"x"})"),
                                               kRecord,  // a bare record is no reply
                                               L"{\"code\":\"401\",\"msg\":\"token expired\"}",
                                           });
}

// Text passes through the process code page, so a GBK code page keeps a
// Chinese nickname whole.
TEST(ParseAutoLoginReply, ChineseNicknameThroughGbkCodePage) {
    ASSERT_TRUE(platform::SetCodePage("GBK"));
    UserInfo user;
    int result = ParseAutoLoginReply(
        Reply(L"\"200\"", L"{\"sp\":\"1.0\",\"nickname\":\"\u5f20\u4e09\",\"userid\":\"9\"}"),
        user);
    platform::SetCodePage("");
    ASSERT_EQ(0, result);
    EXPECT_EQ(L"\u5f20\u4e09", user.nickname);
}

}  // namespace
}  // namespace kelsor
