#include "account/UserInfoParse.h"

#include "app/JsonText.h"
#include "app/TextConv.h"

namespace kelsor {
namespace {

enum ParseResult : int {
    ParseOk = 0,
    ParseNotJson = 1,
    ParseBadCode = 2,
    ParseBadVersion = 3,
};

int StoreRecord(const Json::Value& record, UserInfo& user) {
    user.sp = AnsiToWide(StringMember(record, "sp"));
    if (user.sp != L"1.0") {
        return ParseBadVersion;
    }
    auto take = [&record](const char* key) { return AnsiToWide(StringMember(record, key)); };
    user.userid = take("userid");
    user.nickname = take("nickname");
    user.mobile = take("mobile");
    user.avatar = take("avatar");
    user.hwusername = take("hwusername");
    user.hwpassword = take("hwpassword");
    user.hwdomainname = take("hwdomainname");
    user.hwregion = take("hwregion");
    user.token = take("token");
    return ParseOk;
}

}  // namespace

int ParseUserInfo(const std::wstring& text, UserInfo& user) {
    Json::Value root;
    if (!ParseJsonObject(WideToAnsi(text), root)) {
        return ParseNotJson;
    }
    return StoreRecord(root, user);
}

int ParseAutoLoginReply(const std::wstring& text, UserInfo& user) {
    Json::Value root;
    if (!ParseJsonObject(WideToAnsi(text), root)) {
        return ParseNotJson;
    }
    if (StringMember(root, "code") != "200") {
        return ParseBadCode;
    }
    const Json::Value* data = root.find("data", "data" + 4);
    return StoreRecord(data ? *data : Json::Value(), user);
}

}  // namespace kelsor
