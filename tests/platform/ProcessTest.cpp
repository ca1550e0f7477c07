#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "TempFolder.h"
#include "platform/sys/Process.h"

using namespace kelsor::test;
using namespace kelsor::platform;

namespace {

StartOptions Waiting(bool hidden = false) {
    StartOptions options;
    options.wait = true;
    options.hidden = hidden;
    return options;
}

}  // namespace

TEST(Process, PassesArgumentsUnchangedAndReturnsTheExitCode) {
    auto result = StartProgram(L"/bin/sh", {L"-c", L"exit 7"}, Waiting());
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 7);

    // Blanks, quotes and shell syntax reach the program as one argument each.
    const std::wstring tricky = L"a b; touch injected 'q' $(x)";
    TempFolder dir;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    result = StartProgram(L"/bin/sh",
                          {L"-c", L"[ \"$1\" = \"$2\" ] && [ $# -eq 2 ]", L"sh", tricky, tricky},
                          Waiting());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("injected")));
}

TEST(Process, HiddenRunHasNoConsole) {
    auto result = StartProgram(
        L"/bin/sh", {L"-c", L"[ \"$(readlink /proc/$$/fd/1)\" = /dev/null ] && [ ! -t 0 ]"},
        Waiting(true));
    EXPECT_EQ(result.exitCode, 0);
}

TEST(Process, MissingProgramIsNotStarted) {
    TempFolder dir;
    EXPECT_FALSE(StartProgram(dir.wide("no-such-program"), {}, Waiting()).started);
    EXPECT_FALSE(StartProgram(L"", {}, Waiting()).started);
    // A bare name is not looked up in PATH.
    EXPECT_FALSE(StartProgram(L"sh", {L"-c", L"exit 0"}, Waiting()).started);
}

TEST(Process, DetachedStartDoesNotWait) {
    TempFolder dir;
    auto result = StartProgram(L"/bin/sh", {L"-c", L"echo done > \"$1\"", L"sh", dir.wide("out")});
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.exitCode.has_value());
    for (int i = 0; i < 200 && ReadFile(dir.file("out")) != "done\n"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(ReadFile(dir.file("out")), "done\n");
}

TEST(Process, OpenWithDesktopHandsTheTargetToXdgOpenAsItIs) {
    // A stand-in xdg-open earlier in PATH records what it was given.
    TempFolder dir;
    WriteFile(dir.file("xdg-open"),
              "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"$KELSOR_TEST_OUT.tmp\"\n"
              "mv \"$KELSOR_TEST_OUT.tmp\" \"$KELSOR_TEST_OUT\"\n");
    chmod((dir.file("xdg-open")).c_str(), 0755);
    const std::string path = std::string(std::getenv("PATH"));
    setenv("PATH", (dir.path() + ":" + path).c_str(), 1);
    setenv("KELSOR_TEST_OUT", (dir.file("args")).c_str(), 1);

    auto waitForArgs = [&] {
        for (int i = 0; i < 200 && !std::filesystem::exists(dir.file("args")); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::string args = ReadFile(dir.file("args"));
        std::filesystem::remove(dir.file("args"));
        return args;
    };
    ASSERT_TRUE(OpenWithDesktop(L"http://x.localhost/a?b=1&c=$(touch pwned);d"));
    EXPECT_EQ(waitForArgs(), "1|http://x.localhost/a?b=1&c=$(touch pwned);d|");
    ASSERT_TRUE(OpenWithDesktop(L"--help"));
    EXPECT_EQ(waitForArgs(), "1|./--help|");
    EXPECT_FALSE(OpenWithDesktop(L""));
    EXPECT_FALSE(std::filesystem::exists("pwned"));
}
