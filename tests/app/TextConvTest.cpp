#include <gtest/gtest.h>

#include "app/TextConv.h"
#include "platform/sys/CodePage.h"

using namespace kelsor;

class TextConvGbk : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::SetCodePage("GBK")); }
    void TearDown() override { platform::SetCodePage(""); }
};

TEST_F(TextConvGbk, WideAndAnsiRoundTrip) {
    const std::wstring text = L"KelsorOCR\u6587\u5b57\u8bc6\u522b";  // …文字识别
    const std::string ansi = WideToAnsi(text);
    EXPECT_EQ(ansi, "KelsorOCR\xce\xc4\xd7\xd6\xca\xb6\xb1\xf0");
    EXPECT_EQ(AnsiToWide(ansi), text);
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(AnsiToWide(""), L"");
}

TEST_F(TextConvGbk, Utf8EdgesConvertThroughWide) {
    EXPECT_EQ(Utf8ToAnsi("\xe8\xaf\x86\xe5\x88\xab"), "\xca\xb6\xb1\xf0");
    EXPECT_EQ(AnsiToUtf8("\xca\xb6\xb1\xf0"), "\xe8\xaf\x86\xe5\x88\xab");
}

TEST(TextConv, OneLeadingByteOrderMarkIsDropped) {
    ASSERT_TRUE(platform::SetCodePage("UTF-8"));
    EXPECT_EQ(AnsiToWide("\xef\xbb\xbf\xef\xbb\xbf"
                         "abc"),
              L"\uFEFFabc");
    EXPECT_EQ(AnsiToWide("a\xef\xbb\xbf"), L"a\uFEFF");
    platform::SetCodePage("");
}
