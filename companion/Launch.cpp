#include "companion/Launch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "app/TextConv.h"

extern char** environ;

namespace kelsor::companion {
namespace {

// Spawns the program; -1 when it could not be started.
pid_t Spawn(const std::wstring& program, const std::vector<std::wstring>& arguments, bool hidden) {
    std::vector<std::string> narrow;
    narrow.push_back(WideToAnsi(program));
    for (const auto& argument : arguments) {
        narrow.push_back(WideToAnsi(argument));
    }
    std::vector<char*> argv;
    for (auto& text : narrow) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (hidden) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    int error = posix_spawn(&pid, narrow.front().c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

void WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::vector<std::wstring> SplitParameters(const std::wstring& parameters) {
    std::vector<std::wstring> arguments;
    std::wstring current;
    bool inQuotes = false;
    bool haveArgument = false;
    for (wchar_t c : parameters) {
        if (c == L'"') {
            inQuotes = !inQuotes;
            haveArgument = true;  // "" is an empty argument
        } else if (!inQuotes && (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n')) {
            if (haveArgument) {
                arguments.push_back(std::move(current));
                current.clear();
                haveArgument = false;
            }
        } else {
            current += c;
            haveArgument = true;
        }
    }
    if (haveArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

bool IsRegularFile(const std::wstring& path) {
    struct stat info {};
    return ::stat(WideToAnsi(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool StartProgram(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    pid_t pid = Spawn(program, arguments, false);
    if (pid < 0) {
        return false;
    }
    // Nobody waits for a started program; reap it so it leaves no zombie.
    std::thread([pid] { WaitFor(pid); }).detach();
    return true;
}

bool RunHiddenAndWait(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    pid_t pid = Spawn(program, arguments, true);
    if (pid < 0) {
        return false;
    }
    WaitFor(pid);
    return true;
}

}  // namespace kelsor::companion
