#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestSupport.h"
#include "account/SessionFile.h"
#include "app/TextConv.h"

namespace kelsor {
namespace {

using test::TempFolder;

const std::string kKeyHex = test::Hex("9c3e7a15b0d2f4869e1a3c5b7d9f0e24");
const std::string kIvHex = test::Hex("Qh4!Rz8@Wm2#Xp6T");
const std::string kPlain = "{\"sp\":\"1.0\",\"token\":\"tok-9f8e\",\"userid\":\"10042\"}\n";

std::string OpensslEncrypt(const TempFolder& dir, const std::string& plain) {
    test::WriteFile(dir.file("plain"), plain);
    EXPECT_EQ(0, test::Shell("openssl enc -aes-256-cbc -K " + kKeyHex + " -iv " + kIvHex + " -in " +
                             dir.file("plain") + " -out " + dir.file("cipher") + " && base64 -w0 " +
                             dir.file("cipher") + " > " + dir.file("ud")));
    return test::ReadFile(dir.file("ud"));
}

bool ReadBack(const TempFolder& dir, std::wstring& userid, std::wstring& token) {
    return ReadSessionFile(AnsiToWide(dir.file("ud")), userid, token);
}

TEST(SessionFile, PlaintextIsCompactSortedJsonWithLineFeed) {
    EXPECT_EQ(kPlain, SessionPlaintext(L"10042", L"tok-9f8e"));
}

TEST(SessionFile, WrittenFileMatchesOpensslByteForByteAndIsOwnerOnly) {
    TempFolder dir;
    std::string expected = OpensslEncrypt(dir, kPlain);
    ASSERT_EQ(0, ::unlink(dir.file("ud").c_str()));
    ASSERT_TRUE(WriteSessionFile(AnsiToWide(dir.file("ud")), L"10042", L"tok-9f8e"));
    std::string written = test::ReadFile(dir.file("ud"));
    EXPECT_EQ(expected, written);
    EXPECT_EQ(std::string::npos, written.find_first_of("\r\n"));

    struct stat info {};
    ASSERT_EQ(0, ::stat(dir.file("ud").c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777);
}

TEST(SessionFile, OpensslDecryptsOurFile) {
    TempFolder dir;
    ASSERT_TRUE(WriteSessionFile(AnsiToWide(dir.file("ud")), L"u-7", L"abc/+=def"));
    ASSERT_EQ(0, test::Shell("base64 -d " + dir.file("ud") + " | openssl enc -d -aes-256-cbc -K " +
                             kKeyHex + " -iv " + kIvHex + " -out " + dir.file("out")));
    EXPECT_EQ("{\"sp\":\"1.0\",\"token\":\"abc/+=def\",\"userid\":\"u-7\"}\n",
              test::ReadFile(dir.file("out")));
}

TEST(SessionFile, OpensslFileDecodesAlsoWithTrailingLineFeed) {
    TempFolder dir;
    std::string base64 = OpensslEncrypt(dir, kPlain);
    std::wstring userid, token;
    ASSERT_TRUE(ReadBack(dir, userid, token));
    EXPECT_EQ(L"10042", userid);
    EXPECT_EQ(L"tok-9f8e", token);

    test::WriteFile(dir.file("ud"), base64 + "\n");  // as an editor would save it
    userid.clear();
    token.clear();
    ASSERT_TRUE(ReadBack(dir, userid, token));
    EXPECT_EQ(L"10042", userid);
    EXPECT_EQ(L"tok-9f8e", token);
}

TEST(SessionFile, RewriteReplacesContentAndTightensLooseMode) {
    TempFolder dir;
    test::WriteFile(dir.file("ud"), std::string(5000, 'A'));
    ASSERT_EQ(0, ::chmod(dir.file("ud").c_str(), 0644));
    ASSERT_TRUE(WriteSessionFile(AnsiToWide(dir.file("ud")), L"1", L"2"));
    std::wstring userid, token;
    ASSERT_TRUE(ReadBack(dir, userid, token));
    EXPECT_EQ(L"1", userid);
    EXPECT_EQ(L"2", token);
    struct stat info {};
    ASSERT_EQ(0, ::stat(dir.file("ud").c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777);
    EXPECT_FALSE(test::FileExists(dir.file("ud.tmp")));
}

TEST(SessionFile, WriteIntoMissingFolderFails) {
    TempFolder dir;
    EXPECT_FALSE(WriteSessionFile(AnsiToWide(dir.file("no/such/ud")), L"1", L"2"));
}

// Every damaged file reads as "no session" and is left where it is.
TEST(SessionFile, DamagedFilesAreRejectedAndKept) {
    TempFolder dir;
    std::string good = EncryptSessionText(kPlain);
    const std::pair<const char*, std::string> cases[] = {
        {"not base64", "%%%% this is not base64 at all ****"},
        {"empty", ""},
        {"truncated to a partial block", good.substr(0, 20)},
        {"cut inside the last block", good.substr(0, good.size() - 3)},
        {"whole blocks, last one missing", good.substr(0, 64)},
        {"not json", EncryptSessionText("userid=1;token=2\n")},
        {"json array", EncryptSessionText("[\"1.0\",\"t\",\"u\"]\n")},
        {"wrong sp", EncryptSessionText("{\"sp\":\"2.0\",\"token\":\"t\",\"userid\":\"u\"}\n")},
        {"numeric sp", EncryptSessionText("{\"sp\":1.0,\"token\":\"t\",\"userid\":\"u\"}\n")},
        {"empty token", EncryptSessionText("{\"sp\":\"1.0\",\"token\":\"\",\"userid\":\"u\"}\n")},
        {"numeric userid", EncryptSessionText("{\"sp\":\"1.0\",\"token\":\"t\",\"userid\":7}\n")},
        {"random bytes", std::string("\x00\xff\x10\x80garbage", 11)},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        test::WriteFile(dir.file("ud"), content);
        std::wstring userid = L"keep", token = L"keep";
        EXPECT_FALSE(ReadBack(dir, userid, token));
        EXPECT_EQ(L"keep", userid);
        EXPECT_EQ(L"keep", token);
        EXPECT_EQ(content, test::ReadFile(dir.file("ud")));
    }
}

TEST(SessionFile, WholeBlocksWithBadPaddingAreRejected) {
    TempFolder dir;
    test::WriteFile(dir.file("plain"), "0123456789abcdef");  // 'f' is no padding byte
    ASSERT_EQ(0, test::Shell("openssl enc -aes-256-cbc -nopad -K " + kKeyHex + " -iv " + kIvHex +
                             " -in " + dir.file("plain") + " | base64 -w0 > " + dir.file("ud")));
    std::wstring userid, token;
    EXPECT_FALSE(ReadBack(dir, userid, token));
    EXPECT_TRUE(test::FileExists(dir.file("ud")));
}

}  // namespace
}  // namespace kelsor
