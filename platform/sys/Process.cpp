#include "platform/sys/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/sys/ShellFolders.h"

extern char** environ;

namespace kelsor::platform {
namespace {

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

StartResult Spawn(const std::string& file, bool searchPath, std::vector<std::string> argv,
                  const StartOptions& options) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (std::string& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.hidden) {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    // The child gets its own process group so that a terminal's Ctrl+C for
    // us does not end the programs we started.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);

    pid_t pid = -1;
    int rc = searchPath ? posix_spawnp(&pid, file.c_str(), &actions, &attr, args.data(), environ)
                        : posix_spawn(&pid, file.c_str(), &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);

    StartResult result;
    if (rc != 0) {
        return result;
    }
    result.started = true;
    if (options.wait) {
        int code = WaitForExit(pid);
        if (code >= 0) {
            result.exitCode = code;
        }
    } else {
        std::thread([pid] { WaitForExit(pid); }).detach();
    }
    return result;
}

}  // namespace

StartResult StartProgram(const std::wstring& path, const std::vector<std::wstring>& arguments,
                         const StartOptions& options) {
    if (path.empty()) {
        return {};
    }
    std::vector<std::string> argv;
    argv.push_back(ToNativePath(path));
    for (const std::wstring& arg : arguments) {
        argv.push_back(ToNativePath(arg));
    }
    const std::string file = argv.front();
    return Spawn(file, false, std::move(argv), options);
}

bool OpenWithDesktop(const std::wstring& target) {
    if (target.empty()) {
        return false;
    }
    StartOptions options;
    options.hidden = true;
    // "--" is not understood by xdg-open; a target that starts with "-" is
    // made a path of its own so that it cannot be read as an option.
    std::string native = ToNativePath(target);
    if (native.front() == '-') {
        native = "./" + native;
    }
    return Spawn("xdg-open", true, {"xdg-open", native}, options).started;
}

}  // namespace kelsor::platform
