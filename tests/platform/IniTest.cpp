#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Ini.h"

using namespace kelsor::test;
using namespace kelsor::platform;

TEST(Ini, ReadsValuesWithDefaultOnlyForMissingEntries) {
    TempFolder dir;
    WriteFile(dir.file("a.ini"),
              "; comment\r\n[Other]\r\nchannel=99\r\n[ KSOCRInfo ]\r\n  Channel = \"20002\" \r\n"
              "empty=\r\nquoted=''\r\n");
    const std::wstring path = dir.wide("a.ini");
    EXPECT_EQ(GetPrivateProfileString(L"KSOCRInfo", L"channel", L"10001", path), L"20002");
    EXPECT_EQ(GetPrivateProfileString(L"ksocrinfo", L"CHANNEL", L"10001", path), L"20002");
    EXPECT_EQ(GetPrivateProfileString(L"KSOCRInfo", L"empty", L"10001", path), L"");
    EXPECT_EQ(GetPrivateProfileString(L"KSOCRInfo", L"quoted", L"10001", path), L"");
    EXPECT_EQ(GetPrivateProfileString(L"KSOCRInfo", L"missing", L"10001", path), L"10001");
    EXPECT_EQ(GetPrivateProfileString(L"Nowhere", L"channel", L"10001", path), L"10001");
    EXPECT_EQ(GetPrivateProfileString(L"KSOCRInfo", L"channel", L"d", dir.wide("none.ini")), L"d");
}

TEST(Ini, WriteCreatesUpdatesAndKeepsTheRest) {
    TempFolder dir;
    const std::wstring path = dir.wide("b.ini");
    ASSERT_TRUE(WritePrivateProfileString(L"KSOCRInfo", L"channel", L"10001", path));
    EXPECT_EQ(ReadFile(dir.file("b.ini")), "[KSOCRInfo]\nchannel=10001\n");

    WriteFile(dir.file("b.ini"), "; keep me\n[KSOCRInfo]\nchannel=1\n\n[Next]\nx=y\n");
    ASSERT_TRUE(WritePrivateProfileString(L"ksocrinfo", L"CHANNEL", L"2", path));
    ASSERT_TRUE(WritePrivateProfileString(L"KSOCRInfo", L"added", L"3", path));
    ASSERT_TRUE(WritePrivateProfileString(L"New", L"k", L"", path));
    EXPECT_EQ(ReadFile(dir.file("b.ini")),
              "; keep me\n[KSOCRInfo]\nCHANNEL=2\nadded=3\n\n[Next]\nx=y\n[New]\nk=\n");
    EXPECT_EQ(GetPrivateProfileString(L"New", L"k", L"default", path), L"");
    // No temporary file is left next to it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(Ini, KeepsWindowsLineEndingsOfAnExistingFile) {
    TempFolder dir;
    WriteFile(dir.file("c.ini"), "[S]\r\na=1\r\n");
    ASSERT_TRUE(WritePrivateProfileString(L"S", L"b", L"2", dir.wide("c.ini")));
    EXPECT_EQ(ReadFile(dir.file("c.ini")), "[S]\r\na=1\r\nb=2\r\n");
}

TEST(Ini, UnwritableTargetLeavesEverythingAsItWas) {
    TempFolder dir;
    EXPECT_FALSE(WritePrivateProfileString(L"S", L"k", L"v", dir.wide("missing/x.ini")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
    std::filesystem::create_directory(dir.file("folder.ini"));
    EXPECT_FALSE(WritePrivateProfileString(L"S", L"k", L"v", dir.wide("folder.ini")));
    // Values that would break the file's line structure are refused.
    WriteFile(dir.file("d.ini"), "[S]\nk=old\n");
    EXPECT_FALSE(WritePrivateProfileString(L"S", L"k", L"a\nb=c", dir.wide("d.ini")));
    EXPECT_FALSE(WritePrivateProfileString(L"S", L"", L"v", dir.wide("d.ini")));
    EXPECT_EQ(ReadFile(dir.file("d.ini")), "[S]\nk=old\n");
}

TEST(Ini, TextIsInTheProcessCodePage) {
    TempFolder dir;
    ASSERT_TRUE(SetCodePage("GBK"));
    ASSERT_TRUE(WritePrivateProfileString(L"S", L"name", L"\u8bc6\u522b", dir.wide("e.ini")));
    EXPECT_EQ(ReadFile(dir.file("e.ini")), "[S]\nname=\xca\xb6\xb1\xf0\n");
    EXPECT_EQ(GetPrivateProfileString(L"S", L"name", L"", dir.wide("e.ini")), L"\u8bc6\u522b");
    SetCodePage("");
}
