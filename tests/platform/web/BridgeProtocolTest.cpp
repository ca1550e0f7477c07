#include <gtest/gtest.h>

#include "platform/web/BridgeProtocol.h"

namespace kelsor::platform::bridge {
namespace {

TEST(BridgeProtocol, ParsesCallsAndRejectsMalformedOnes) {
    const auto call = ParseCall(LR"({"f":"wkaction","a":["app","ver","中文 \"q\""]})");
    ASSERT_TRUE(call.has_value());
    EXPECT_EQ(call->function, L"wkaction");
    EXPECT_EQ(call->args, (std::vector<std::wstring>{L"app", L"ver", L"中文 \"q\""}));

    const auto empty = ParseCall(LR"({"f":"wkaction","a":[]})");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->args.empty());

    EXPECT_FALSE(ParseCall(L"").has_value());
    EXPECT_FALSE(ParseCall(L"[1,2]").has_value());
    EXPECT_FALSE(ParseCall(LR"({"f":"wkaction","a":[1]})").has_value());
    EXPECT_FALSE(ParseCall(LR"({"f":3,"a":[]})").has_value());
    EXPECT_FALSE(ParseCall(LR"({"f":"wkaction","a":["x")").has_value());
}

TEST(BridgeProtocol, ParsesOpenRequests) {
    const auto open = ParseOpenRequest(LR"({"url":"http://a/b","name":"_blank"})");
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(open->url, L"http://a/b");
    EXPECT_EQ(open->targetName, L"_blank");
    EXPECT_FALSE(ParseOpenRequest(LR"({"url":"http://a/b"})").has_value());
}

TEST(BridgeProtocol, ComparesOrigins) {
    const std::wstring origin = L"http://web.kelsor.localhost:18080";
    EXPECT_TRUE(SameOrigin(L"http://web.kelsor.localhost:18080/index/index/blank", origin));
    EXPECT_TRUE(SameOrigin(L"HTTP://Web.Kelsor.LOCALHOST:18080/x", origin));
    EXPECT_FALSE(SameOrigin(L"http://web.kelsor.localhost:18081/x", origin));
    EXPECT_FALSE(SameOrigin(L"https://web.kelsor.localhost:18080/x", origin));
    EXPECT_FALSE(SameOrigin(L"http://evil.localhost:18080/x", origin));
    EXPECT_FALSE(SameOrigin(L"http://web.kelsor.localhost.evil:18080/x", origin));
    EXPECT_FALSE(SameOrigin(L"file:///etc/passwd", origin));
    EXPECT_FALSE(SameOrigin(L"", origin));
    // A missing port is the scheme's own.
    EXPECT_TRUE(SameOrigin(L"http://site.example/x", L"http://site.example:80"));
    EXPECT_FALSE(SameOrigin(L"http://site.example/x", L"http://site.example:8080"));
}

TEST(BridgeProtocol, ScriptBindsEachFunctionWithItsArgumentCount) {
    const std::wstring script = BuildPageScript({{L"wkaction", 5}, {L"other", 2}});
    EXPECT_NE(script.find(L"bind(\"wkaction\", 5);"), std::wstring::npos);
    EXPECT_NE(script.find(L"bind(\"other\", 2);"), std::wstring::npos);
    EXPECT_NE(script.find(L"\"kelsor-bridge:call\""), std::wstring::npos);
}

}  // namespace
}  // namespace kelsor::platform::bridge
