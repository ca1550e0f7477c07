#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "TempFolder.h"

using namespace kelsor::test;

extern char** environ;

namespace {

// Starts the built KelsorOCR with `extraEnv` added to ours and its output in
// `outPath`.
pid_t StartProgram(const std::vector<std::string>& extraEnv, const std::string& outPath) {
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::string program = KELSOR_PROGRAM_PATH;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int WaitExitCode(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits (up to 20 s) until the file at `path` contains `text`.
bool WaitForOutput(const std::string& path, const std::string& text) {
    for (int i = 0; i < 400; ++i) {
        if (ReadFile(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace

TEST(Startup, SecondStartBringsTheFirstToFrontAndExitsZero) {
    TempFolder dir;
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path(),
                                          "XDG_DATA_HOME=" + (dir.file("data")),
                                          "KELSOR_HOLD_SECONDS=60"};
    pid_t first = StartProgram(env, dir.file("first.out"));
    ASSERT_GT(first, 0);
    ASSERT_TRUE(WaitForOutput(dir.file("first.out"), "KELSOR_HOLD_SECONDS"))
        << ReadFile(dir.file("first.out"));
    const std::string firstOut = ReadFile(dir.file("first.out"));
    EXPECT_NE(firstOut.find("main window is not built yet"), std::string::npos);
    EXPECT_NE(firstOut.find("/channel/10001"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.file("data/KelsorOCR/config.ini")));

    pid_t second = StartProgram(env, dir.file("second.out"));
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitExitCode(second), 0);
    EXPECT_NE(ReadFile(dir.file("second.out")).find("already running"), std::string::npos);
    EXPECT_TRUE(WaitForOutput(dir.file("first.out"), "received message 2125"));

    // The first instance dies without cleaning up; the next start is first.
    kill(first, SIGKILL);
    WaitExitCode(first);
    pid_t third =
        StartProgram({"XDG_RUNTIME_DIR=" + dir.path(), "XDG_DATA_HOME=" + (dir.file("data"))},
                     dir.file("third.out"));
    EXPECT_EQ(WaitExitCode(third), 0);
    EXPECT_NE(ReadFile(dir.file("third.out")).find("application context"), std::string::npos);
}
