#include "platform/sys/ShellFolders.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/sys/CodePage.h"

extern char** environ;

namespace kelsor::platform {
namespace {

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string StripTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// Asks xdg-user-dir for the desktop; its answer is $HOME itself when the
// user has no desktop entry, which we treat as "not configured".
std::string XdgUserDesktop() {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    char arg0[] = "xdg-user-dir";
    char arg1[] = "DESKTOP";
    char* argv[] = {arg0, arg1, nullptr};
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, "xdg-user-dir", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string out;
    if (rc == 0) {
        char buffer[1024];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0) {
                out.append(buffer, static_cast<size_t>(n));
            }
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            out.clear();
        }
    }
    close(pipeFds[0]);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

}  // namespace

std::string ToNativePath(const std::wstring& path) {
    return WideToCodePage(path, CodePage());
}

std::wstring FromNativePath(const std::string& path) {
    return CodePageToWide(path, CodePage());
}

std::wstring GetShellFolder(int folderId) {
    const std::string home = StripTrailingSeparators(EnvValue("HOME"));
    std::string folder;
    switch (folderId) {
        case kFolderAppData: {
            std::string data = EnvValue("XDG_DATA_HOME");
            // The XDG rules ignore a relative value.
            if (!data.empty() && data.front() == '/') {
                folder = data;
            } else if (!home.empty()) {
                folder = home + "/.local/share";
            }
            break;
        }
        case kFolderDesktop: {
            std::string desktop = StripTrailingSeparators(XdgUserDesktop());
            if (!desktop.empty() && desktop.front() == '/' && desktop != home) {
                folder = desktop;
            } else if (!home.empty()) {
                folder = home + "/Desktop";
            }
            break;
        }
        case kFolderPersonal:
            folder = home;
            break;
        default:
            break;
    }
    return FromNativePath(StripTrailingSeparators(folder));
}

std::wstring GetProgramPath() {
    std::vector<char> buffer(4096);
    while (true) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            return FromNativePath(std::string(buffer.data(), static_cast<size_t>(n)));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetProgramFolder() {
    std::wstring path = GetProgramPath();
    size_t slash = path.rfind(L'/');
    if (slash == std::wstring::npos) {
        return {};
    }
    return path.substr(0, slash + 1);
}

}  // namespace kelsor::platform
