#pragma once

#include <sys/types.h>

#include "platform/sys/NonCopyable.h"

#include <memory>
#include <string>
#include <vector>

// A desktop program as a user starts it: its own X server, a fresh data
// folder, the time until its first window is on the screen and the memory
// it holds once it has settled.
namespace kelsor::bench {

struct MappedWindow {
    unsigned int id = 0;
    int width = 0;
    int height = 0;
    double secondsSinceExec = 0.0;  // 0 when no window came
};

// A private Xvfb and session bus for the bench process, and a watch of the
// windows that appear on the display.
class PrivateDesktop : NonCopyable {
public:
    PrivateDesktop();
    ~PrivateDesktop();

    // False when Xvfb cannot run here; `error` says why.
    bool Start(std::string& error);
    const std::string& Display() const { return m_display; }

    // Starts `argv` with `environment` (DISPLAY and the bus are added) in a process group
    // of its own and waits up to `timeoutSeconds` for its first top-level
    // window to be mapped.
    pid_t Launch(const std::vector<std::string>& argv, std::vector<std::string> environment,
                 double timeoutSeconds, MappedWindow& window);
    // Waits for the next top-level window other than `except` to be mapped.
    MappedWindow WaitForNewWindow(unsigned int except, double timeoutSeconds);
    // Clicks at (x, y) inside `window`, as a pointer would.
    void Click(unsigned int window, int x, int y);
    // Asks `window` to close, as a window manager's close button does, and
    // waits up to `timeoutSeconds` for it to be unmapped.
    bool Close(unsigned int window, double timeoutSeconds);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    pid_t m_server = -1;
    pid_t m_bus = -1;
    std::string m_display;
    std::string m_busAddress;
};

// Resident set of `pid` and all its descendants, in bytes (helper processes
// a program starts count as its memory).
long long TreeResidentBytes(pid_t pid);
// Waits until the process tree of `pid` used less than 10 ms of CPU in half a
// second (at most `timeoutSeconds`): what a user sees as an idle program.
void WaitUntilIdle(pid_t pid, double timeoutSeconds);
// Ends the process group `pid` leads and reaps its leader.
void EndProcessGroup(pid_t pid);

// Environment of this process without the variables that would point a
// started program at the bench's own display, data or services.
std::vector<std::string> CleanEnvironment();

}  // namespace kelsor::bench
