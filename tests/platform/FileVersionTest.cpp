#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "platform/sys/FileVersion.h"
#include "platform/sys/Process.h"
#include "platform/sys/ShellFolders.h"

using namespace kelsor::test;
using namespace kelsor::platform;

// This test program carries the note 7.8.9.10 (see CMakeLists.txt).
TEST(FileVersion, ReadsTheNoteFromTheFileOnDisk) {
    const std::string self = ToNativePath(GetProgramPath());
    FileVersion version{};
    ASSERT_TRUE(ReadFileVersion(self, version));
    EXPECT_EQ(version, (FileVersion{7, 8, 9, 10}));

    // The note travels with the file's content, whatever its name.
    TempFolder dir;
    std::filesystem::copy_file(self, dir.file("renamed"));
    version = {};
    ASSERT_TRUE(ReadFileVersion(dir.file("renamed"), version));
    EXPECT_EQ(version, (FileVersion{7, 8, 9, 10}));
}

TEST(FileVersion, FilesWithoutTheNoteHaveNoVersion) {
    TempFolder dir;
    FileVersion version{};
    EXPECT_FALSE(ReadFileVersion("/bin/true", version));  // ELF with other notes
    EXPECT_FALSE(ReadFileVersion(dir.file("missing"), version));
    WriteFile(dir.file("text"), "not an ELF file");
    EXPECT_FALSE(ReadFileVersion(dir.file("text"), version));
    WriteFile(dir.file("empty"), "");
    EXPECT_FALSE(ReadFileVersion(dir.file("empty"), version));
    // A cut-off program file is read without running off its end.
    std::string head = ReadFile(ToNativePath(GetProgramPath())).substr(0, 200);
    WriteFile(dir.file("truncated"), head);
    EXPECT_FALSE(ReadFileVersion(dir.file("truncated"), version));
}

// Stripping symbols keeps the note (it is part of the loaded program, like a
// resource); removing the note section removes the version.
TEST(FileVersion, SurvivesStripButNotRemovalOfTheNote) {
    TempFolder dir;
    const std::wstring self = GetProgramPath();
    StartOptions wait;
    wait.wait = true;
    wait.hidden = true;
    ASSERT_EQ(
        StartProgram(L"/usr/bin/strip", {L"--strip-all", L"-o", dir.wide("stripped"), self}, wait)
            .exitCode,
        0);
    FileVersion version{};
    EXPECT_TRUE(ReadFileVersion(dir.file("stripped"), version));
    EXPECT_EQ(version, (FileVersion{7, 8, 9, 10}));

    ASSERT_EQ(
        StartProgram(L"/usr/bin/objcopy",
                     {L"--remove-section", L".note.kelsor.version", self, dir.wide("bare")}, wait)
            .exitCode,
        0);
    EXPECT_FALSE(ReadFileVersion(dir.file("bare"), version));
}
