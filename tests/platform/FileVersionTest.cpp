#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "platform/sys/FileVersion.h"
#include "platform/sys/Process.h"
#include "platform/sys/ShellFolders.h"

using namespace kelsor::platform;

// This test program carries the note 7.8.9.10 (see CMakeLists.txt).
TEST(FileVersion, ReadsTheNoteFromTheFileOnDisk) {
    const std::string self = ToNativePath(GetProgramPath());
    FileVersion version{};
    ASSERT_TRUE(ReadFileVersion(self, version));
    EXPECT_EQ(version, (FileVersion{7, 8, 9, 10}));

    // The note travels with the file's content, whatever its name.
    TempDir dir;
    std::filesystem::copy_file(self, dir / "renamed");
    version = {};
    ASSERT_TRUE(ReadFileVersion(dir / "renamed", version));
    EXPECT_EQ(version, (FileVersion{7, 8, 9, 10}));
}

TEST(FileVersion, FilesWithoutTheNoteHaveNoVersion) {
    TempDir dir;
    FileVersion version{};
    EXPECT_FALSE(ReadFileVersion("/bin/true", version));  // ELF with other notes
    EXPECT_FALSE(ReadFileVersion(dir / "missing", version));
    WriteFile(dir / "text", "not an ELF file");
    EXPECT_FALSE(ReadFileVersion(dir / "text", version));
    WriteFile(dir / "empty", "");
    EXPECT_FALSE(ReadFileVersion(dir / "empty", version));
    // A cut-off program file is read without running off its end.
    std::string head = ReadFile(ToNativePath(GetProgramPath())).substr(0, 200);
    WriteFile(dir / "truncated", head);
    EXPECT_FALSE(ReadFileVersion(dir / "truncated", version));
}

// Stripping symbols keeps the note (it is part of the loaded program, like a
// resource); removing the note section removes the version.
TEST(FileVersion, SurvivesStripButNotRemovalOfTheNote) {
    TempDir dir;
    const std::wstring self = GetProgramPath();
    StartOptions wait;
    wait.wait = true;
    wait.hidden = true;
    ASSERT_EQ(
        StartProgram(L"/usr/bin/strip", {L"--strip-all", L"-o", dir.wide("stripped"), self}, wait)
            .exitCode,
        0);
    FileVersion version{};
    EXPECT_TRUE(ReadFileVersion(dir / "stripped", version));
    EXPECT_EQ(version, (FileVersion{7, 8, 9, 10}));

    ASSERT_EQ(
        StartProgram(L"/usr/bin/objcopy",
                     {L"--remove-section", L".note.kelsor.version", self, dir.wide("bare")}, wait)
            .exitCode,
        0);
    EXPECT_FALSE(ReadFileVersion(dir / "bare", version));
}
