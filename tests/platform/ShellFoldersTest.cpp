#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TempFolder.h"
#include "platform/sys/ShellFolders.h"

using namespace kelsor::test;
using namespace kelsor::platform;

TEST(ShellFolders, FollowTheXdgRules) {
    TempFolder dir;
    setenv("HOME", dir.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir.file("config")).c_str(), 1);
    setenv("XDG_DATA_HOME", (dir.file("data/")).c_str(), 1);
    EXPECT_EQ(GetShellFolder(kFolderAppData), dir.wide("data"));
    EXPECT_EQ(GetShellFolder(kFolderPersonal), dir.wide());
    EXPECT_EQ(GetShellFolder(kFolderDesktop), dir.wide("Desktop"));

    // A relative XDG_DATA_HOME is ignored.
    setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(GetShellFolder(kFolderAppData), dir.wide(".local/share"));
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(GetShellFolder(kFolderAppData), dir.wide(".local/share"));

    // The user's own desktop folder as xdg-user-dirs records it.
    std::filesystem::create_directories(dir.file("config"));
    const struct {
        std::string line;
        std::wstring desktop;
    } entries[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", dir.wide("Bureau")},
        {"# comment\n  XDG_DESKTOP_DIR=\"" + dir.file("Schreibtisch/") + "\"\r\n",
         dir.wide("Schreibtisch")},
        {"XDG_DESKTOP_DIR=\"$HOME\"\n", dir.wide("Desktop")},     // the home itself: none
        {"XDG_DESKTOP_DIR=\"relative\"\n", dir.wide("Desktop")},  // not a folder path
        {"XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n", dir.wide("Desktop")},
    };
    for (const auto& entry : entries) {
        WriteFile(dir.file("config/user-dirs.dirs"), entry.line);
        EXPECT_EQ(GetShellFolder(kFolderDesktop), entry.desktop) << entry.line;
    }
    EXPECT_EQ(GetShellFolder(12345), L"");
}

TEST(ShellFolders, ProgramFolderEndsWithSeparator) {
    const std::wstring folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'/');
    EXPECT_EQ(GetProgramPath().substr(0, folder.size()), folder);
    EXPECT_TRUE(std::filesystem::exists(ToNativePath(GetProgramPath())));
}
