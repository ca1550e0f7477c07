#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

#include "TempFolder.h"
#include "app/Utilities.h"

using namespace kelsor::test;
using namespace kelsor;

TEST(SizeText, EveryUnitBoundary) {
    EXPECT_EQ(GetSizeText(0), L"0.00Byte");
    EXPECT_EQ(GetSizeText(1024), L"1024.00Byte");
    EXPECT_EQ(GetSizeText(1025), L"1.00KB");
    EXPECT_EQ(GetSizeText(1536), L"1.50KB");
    EXPECT_EQ(GetSizeText(1048576), L"1024.00KB");
    EXPECT_EQ(GetSizeText(1048577), L"1.00MB");
    EXPECT_EQ(GetSizeText(1073741824.0), L"1024.00MB");
    EXPECT_EQ(GetSizeText(1073741825.0), L"1.00GB");
    EXPECT_EQ(GetSizeText(1099511627776.0), L"1024.00GB");
    EXPECT_EQ(GetSizeText(1099511627777.0), L"1.00TB");
    EXPECT_EQ(GetSizeText(3 * 1099511627776.0), L"3.00TB");
}

TEST(FileSize, RegularFilesOnly) {
    TempFolder dir;
    WriteFile(dir.file("f.bin"), std::string(1234, 'x'));
    EXPECT_EQ(GetFileSize(dir.wide("f.bin")), 1234.0);
    EXPECT_EQ(GetFileSize(dir.wide("missing")), 0.0);
    EXPECT_EQ(GetFileSize(dir.wide()), 0.0);
    EXPECT_EQ(GetFileSize(L""), 0.0);
}

TEST(TimeStampName, HasTheFileNameFormat) {
    const std::wstring name = GetTimeStampName();
    EXPECT_TRUE(std::regex_match(std::string(name.begin(), name.end()),
                                 std::regex(R"(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})")))
        << std::string(name.begin(), name.end());
}

TEST(FolderScan, StopsAtOneHundredPicturesAcrossSubfolders) {
    TempFolder dir;
    const char* extensions[] = {".png", ".jpg", ".jpeg", ".bmp", ".gif", ".tif", ".tiff"};
    for (int i = 0; i < 150; ++i) {
        const std::string sub = dir.file("sub" + std::to_string(i % 5));
        std::filesystem::create_directories(sub + "/deeper");
        const std::string folder = i % 3 == 0 ? sub + "/deeper" : sub;
        WriteFile(folder + "/p" + std::to_string(i) + extensions[i % 7], "x");
        WriteFile(folder + "/note" + std::to_string(i) + ".txt", "x");
    }
    WriteFile(dir.file("noextension"), "x");

    std::vector<std::wstring> paths;
    ASSERT_TRUE(ScanFolderForPictures(dir.wide(), paths));
    EXPECT_EQ(paths.size(), 100u);
    EXPECT_EQ(std::set<std::wstring>(paths.begin(), paths.end()).size(), 100u);
    for (const auto& path : paths) {
        EXPECT_EQ(path.rfind(dir.wide(), 0), 0u);
        EXPECT_TRUE(std::filesystem::exists(std::string(path.begin(), path.end())));
    }
    // The counter belongs to one scan: the next scan collects 100 again.
    std::vector<std::wstring> again;
    ASSERT_TRUE(ScanFolderForPictures(dir.wide(), again));
    EXPECT_EQ(again.size(), 100u);
}

TEST(FolderScan, UpperCaseExtensionsAndMissingFoldersYieldNothing) {
    TempFolder dir;
    WriteFile(dir.file("PHOTO.PNG"), "x");
    WriteFile(dir.file("scan.Jpg"), "x");
    std::vector<std::wstring> paths;
    EXPECT_FALSE(ScanFolderForPictures(dir.wide(), paths));
    EXPECT_TRUE(paths.empty());
    EXPECT_FALSE(ScanFolderForPictures(dir.wide("missing"), paths));
    EXPECT_TRUE(paths.empty());
}

TEST(FolderScan, LinkedFoldersAreNotEnteredButLinkedPicturesAreTaken) {
    TempFolder dir;
    std::filesystem::create_directory(dir.file("a"));
    WriteFile(dir.file("a/one.png"), "x");
    std::filesystem::create_directory_symlink(dir.path(), dir.file("a/loop"));
    std::filesystem::create_symlink(dir.file("a/one.png"), dir.file("link.png"));
    std::vector<std::wstring> paths;
    ASSERT_TRUE(ScanFolderForPictures(dir.wide(), paths));
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::wstring>{dir.wide("a/one.png"), dir.wide("link.png")}));
}
