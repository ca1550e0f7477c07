#include <gtest/gtest.h>

#include "platform/sys/CodePage.h"

using namespace kelsor::platform;

TEST(CodePage, GbkRoundTripAndReplacement) {
    const std::wstring text = L"\u8bc6\u522b abc";  // 识别 abc
    std::string gbk = WideToCodePage(text, "GBK");
    EXPECT_EQ(gbk, std::string("\xca\xb6\xb1\xf0 abc"));
    EXPECT_EQ(CodePageToWide(gbk, "GBK"), text);
    // A character GBK lacks becomes the default character, nothing else is lost.
    EXPECT_EQ(WideToCodePage(L"a\U0001F600b", "GBK"), "a?b");
    // An invalid byte sequence is replaced, the rest survives.
    EXPECT_EQ(CodePageToWide(std::string("a\xff"
                                         "b"),
                             "UTF-8"),
              L"a\uFFFDb");
}

TEST(CodePage, SetCodePageRejectsUnknownNames) {
    ASSERT_TRUE(SetCodePage("GBK"));
    EXPECT_EQ(CodePage(), "GBK");
    EXPECT_FALSE(SetCodePage("NO-SUCH-CODESET"));
    EXPECT_EQ(CodePage(), "GBK");
    ASSERT_TRUE(SetCodePage(""));
    EXPECT_NE(CodePage(), "GBK");
}

TEST(CodePage, LongTextCrossesBufferBoundaries) {
    std::wstring text(10000, L'\u4e2d');
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(WideToUtf8(text).size(), 30000u);
}
