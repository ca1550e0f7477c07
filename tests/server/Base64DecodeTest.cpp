#include "server/Base64Decode.h"
#include "server/engine/CjkSpacing.h"

#include <gtest/gtest.h>

using kelsor::server::Base64Decode;
using kelsor::server::RemoveSpacesBetweenCjk;

TEST(Base64Decode, AcceptsPaddingLineBreaksAndMissingPadding) {
    std::string bytes;
    ASSERT_TRUE(Base64Decode("aGVsbG8gd29ybGQ=", bytes));
    EXPECT_EQ(bytes, "hello world");
    ASSERT_TRUE(Base64Decode("aGVs\r\nbG8g\r\nd29y\nbGQ", bytes));
    EXPECT_EQ(bytes, "hello world");
    ASSERT_TRUE(Base64Decode("QQ==", bytes));
    EXPECT_EQ(bytes, "A");
    ASSERT_TRUE(Base64Decode("", bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST(Base64Decode, RejectsForeignCharactersAndBadEnds) {
    std::string bytes;
    EXPECT_FALSE(Base64Decode("aGVs*G8=", bytes));
    EXPECT_FALSE(Base64Decode("Q===", bytes));      // one sextet cannot make a byte
    EXPECT_FALSE(Base64Decode("QQ==QUJD", bytes));  // data after the padding
    EXPECT_FALSE(Base64Decode("QUJD=", bytes));
    EXPECT_FALSE(Base64Decode("\\r\\n", bytes));  // escapes that were never decoded
}

TEST(CjkSpacing, RemovesSpacesOnlyBetweenCjkCharacters) {
    EXPECT_EQ(RemoveSpacesBetweenCjk("文 字 识 别"), "文字识别");
    EXPECT_EQ(RemoveSpacesBetweenCjk("使 用 OCR 识 别"), "使用 OCR 识别");
    EXPECT_EQ(RemoveSpacesBetweenCjk("你 好 ， 世 界"), "你好，世界");
    EXPECT_EQ(RemoveSpacesBetweenCjk("Hello  World"), "Hello  World");
    EXPECT_EQ(RemoveSpacesBetweenCjk("2026 年"), "2026 年");
    EXPECT_EQ(RemoveSpacesBetweenCjk(" 文 "), " 文 ");
}
