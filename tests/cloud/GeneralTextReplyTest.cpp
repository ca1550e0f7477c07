#include "cloud/GeneralText.h"
#include "cloud/RecognizePictureText.h"

#include <gtest/gtest.h>

using kelsor::EditPriority;
using kelsor::FormatPriority;
using kelsor::ParseGeneralTextReply;

namespace {

std::string Envelope(const std::string& wordsList, int status = 200) {
    return "{\"status\":" + std::to_string(status) +
           ",\"response body\":{\"result\":{\"direction\":-1,\"words_block_count\":2,"
           "\"words_block_list\":" +
           wordsList + "}}}";
}

std::string Parse(int format, const std::string& envelope, bool expected = true) {
    std::string text;
    EXPECT_EQ(ParseGeneralTextReply(format, text, envelope), expected) << envelope;
    return text;
}

}  // namespace

TEST(GeneralTextReply, JoinsLinesByFormatType) {
    const std::string abcd = Envelope(R"([{"words":"ab"},{"words":"cd"}])");
    EXPECT_EQ(Parse(FormatPriority, abcd), "ab\r\ncd");
    EXPECT_EQ(Parse(EditPriority, abcd), "abcd");
    EXPECT_EQ(Parse(7, abcd), "abcd") << "any other value runs lines together";
}

TEST(GeneralTextReply, EmptyWordsBeforeTheFirstLineAddNothingButLaterOnesKeepTheirSeparator) {
    EXPECT_EQ(Parse(FormatPriority, Envelope(R"([{"words":""},{"location":[]},{"words":"x"}])")),
              "x");
    EXPECT_EQ(Parse(FormatPriority, Envelope(R"([{"words":"x"},{"words":""},{"words":"y"}])")),
              "x\r\n\r\ny");
}

TEST(GeneralTextReply, FailuresGiveEmptyText) {
    EXPECT_EQ(Parse(FormatPriority, "", false), "");
    EXPECT_EQ(Parse(FormatPriority, "not json", false), "");
    EXPECT_EQ(Parse(FormatPriority, R"({"status":0,"message":"ocr request failed"})", false), "");
    EXPECT_EQ(
        Parse(FormatPriority,
              R"({"status":401,"response body":{"error_code":"ModelArts.0203","error_msg":"x"}})",
              false),
        "");
    EXPECT_EQ(Parse(FormatPriority, Envelope(R"([{"words":"ab"}])", 201), false), "");
    EXPECT_EQ(Parse(FormatPriority, R"({"status":"200"})", false), "");
    // Status 200 without blocks succeeds with empty text.
    EXPECT_EQ(Parse(FormatPriority, Envelope("[]")), "");
    EXPECT_EQ(Parse(FormatPriority, R"({"status":200,"response body":"odd"})"), "");
    EXPECT_EQ(Parse(FormatPriority, Envelope(R"([1,"two",{"words":5},{"words":"ok"}])")), "ok");
}

TEST(GeneralTextReply, DeepNestingIsRefusedNotACrash) {
    std::string deep = "{\"status\":200,\"response body\":" + std::string(5000, '[') +
                       std::string(5000, ']') + "}";
    std::string text;
    EXPECT_FALSE(ParseGeneralTextReply(FormatPriority, text, deep));
}
