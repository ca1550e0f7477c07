#pragma once
// Shared pieces of the web view tests: one QApplication with the engine
// initialised for the whole test program, waiting on the event loop, and a
// loopback HTTP server.

#include <httplib.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

class QWidget;

namespace kelsor::platform {
class WebView;
}

namespace kelsor::platform::test {

// Runs the event loop until done() holds; false after a generous deadline
// (a safety net against hangs, not a speed check).
bool WaitUntil(const std::function<bool()>& done, int deadlineMs = 30000);
// Lets the event loop run for a while (for "nothing happens" checks).
void Pump(int ms);

// A cpp-httplib server on 127.0.0.1 at a free port, stopped on destruction.
class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    httplib::Server& Http() { return m_server; }
    void Start();
    int Port() const { return m_port; }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
};

// A top-level host widget of the given size, shown offscreen.
std::unique_ptr<QWidget> MakeHost(int width, int height);

// Runs script in the view's page, waits for it and returns its result as a
// string ("<undefined>" for undefined or null, "<timeout>" when it never ends).
std::wstring Evaluate(WebView* view, const std::wstring& script);

}  // namespace kelsor::platform::test
