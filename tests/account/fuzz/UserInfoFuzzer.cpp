// libFuzzer target over the user-record parsers: a sign-in page's record
// (wkaction data) and the auto-login reply, from the bytes as the account
// service would send them. Run with scripts/fuzz.sh account_userinfo_fuzzer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "account/UserInfo.h"
#include "account/UserInfoParse.h"
#include "app/TextConv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text =
        kelsor::AnsiToWide(std::string_view(reinterpret_cast<const char*>(data), size));
    kelsor::UserInfo record;
    if (kelsor::ParseUserInfo(text, record) == 0 && record.sp != L"1.0") {
        __builtin_trap();  // a record is taken only with format version 1.0
    }
    kelsor::UserInfo reply;
    if (kelsor::ParseAutoLoginReply(text, reply) == 0 && reply.sp != L"1.0") {
        __builtin_trap();
    }
    return 0;
}
