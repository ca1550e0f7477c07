#include "app/TextConv.h"
#include "cloud/GeneralText.h"
#include "cloud/LineJoin.h"
#include "cloud/RecognizePictureText.h"
#include "platform/sys/CodePage.h"

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
    // Latin words keep a space apart (the table below has the other cases).
    EXPECT_EQ(Parse(EditPriority, abcd), "ab cd");
    EXPECT_EQ(Parse(7, abcd), "ab cd") << "any other value runs lines together";
    EXPECT_EQ(Parse(EditPriority, Envelope(R"([{"words":"中文"},{"words":"识别"}])")), "中文识别");
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

TEST(GeneralTextReply, LinesKeepTheirBoxesOnlyWhenTheLocationIsWhole) {
    std::vector<kelsor::PlacedLine> lines{{"kept"}};
    EXPECT_FALSE(kelsor::ParseGeneralTextLines(lines, "not json"));
    ASSERT_EQ(lines.size(), 1u) << "a failure leaves the lines as they were";
    ASSERT_TRUE(kelsor::ParseGeneralTextLines(
        lines, Envelope(R"([{"words":"a","location":[[1,2],[9,2],[9,8],[1,8]]},)"
                        R"({"words":"b","location":[[1,2],[9,2],[9,"x"],[1,8]]},)"
                        R"({"words":"c","location":[[1,2],[9,2]]}])")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].placed);
    EXPECT_EQ(lines[0].location[2][0], 9);
    EXPECT_EQ(lines[0].location[2][1], 8);
    EXPECT_FALSE(lines[1].placed);
    EXPECT_FALSE(lines[2].placed);
    EXPECT_EQ(lines[2].words, "c");
}

TEST(GeneralTextReply, DeepNestingIsRefusedNotACrash) {
    std::string deep = "{\"status\":200,\"response body\":" + std::string(5000, '[') +
                       std::string(5000, ']') + "}";
    std::string text;
    EXPECT_FALSE(ParseGeneralTextReply(FormatPriority, text, deep));
}

TEST(EditJoin, LinesMeetAsTheirLanguageWants) {
    struct Case {
        std::vector<std::string> lines;
        std::string joined;
    } const cases[] = {
        {{"hello", "world"}, "hello world"},
        {{"version 2", "3 items"}, "version 2 3 items"},
        {{"中文", "识别"}, "中文识别"},
        {{"Kelsor", "文字识别"}, "Kelsor文字识别"},
        {{"识别", "OCR"}, "识别OCR"},
        {{"end.", "Next"}, "end.Next"},
        {{"trailing ", "space"}, "trailing space"},
        {{"recog-", "nition"}, "recognition"},
        {{"Kelsor-", "Server"}, "Kelsor-Server"},
        {{"page 12-", "15"}, "page 12-15"},
        {{"-", "x"}, "-x"},
        {{"né", "à"}, "né à"},
        {{"Über-", "ästhetik"}, "Überästhetik"},
        {{"", "a", "", "b"}, "a b"},
        {{"a", "", "中"}, "a中"},
        {{"one", "two", "three-", "four"}, "one two threefour"},
        {{"", ""}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kelsor::JoinEditLines(c.lines), c.joined) << c.lines.front() << "|" << c.joined;
    }
}

TEST(EditJoin, ReplyUnderGbkJoinsByCharactersNotBytes) {
    ASSERT_TRUE(kelsor::platform::SetCodePage("GBK"));
    // Under GBK "識別" ends in the byte 0x65 ('e'), yet its last character is
    // CJK: no space before "text".
    const std::string envelope = kelsor::Utf8ToAnsi(
        Envelope(R"([{"words":"word"},{"words":"識別"},{"words":"text"},{"words":"more"}])"));
    EXPECT_EQ(kelsor::AnsiToUtf8(Parse(EditPriority, envelope)), "word識別text more");
    EXPECT_EQ(kelsor::AnsiToUtf8(Parse(FormatPriority, envelope)), "word\r\n識別\r\ntext\r\nmore");
    kelsor::platform::SetCodePage("");
}
