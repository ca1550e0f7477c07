#pragma once

#include <optional>
#include <string>
#include <vector>

// Starting other programs and opening documents, folders and web addresses.
// Nothing here goes through a shell: arguments reach the program as they are.
namespace kelsor::platform {

struct StartOptions {
    // No window and no console: standard input, output and error go to /dev/null.
    bool hidden = false;
    // Wait for the program to end and report its exit code.
    bool wait = false;
};

struct StartResult {
    bool started = false;  // the program could be started
    // With `wait`: the exit code, or 128 + signal number when a signal ended it.
    std::optional<int> exitCode;
};

// Starts the program file `path` (no search in PATH) with `arguments` (argv[1..]).
// Without `wait` the child is reaped in the background, leaving no zombie.
StartResult StartProgram(const std::wstring& path, const std::vector<std::wstring>& arguments,
                         const StartOptions& options = {});

// Opens a document, folder or URL with the desktop's preferred application
// (xdg-open, searched in PATH, started hidden and not waited for). Returns
// whether xdg-open could be started.
bool OpenWithDesktop(const std::wstring& target);

}  // namespace kelsor::platform
