#pragma once
// Shared pieces of the web view tests: one QApplication with the engine
// initialised for the whole test program, waiting on the event loop, and a
// loopback HTTP server.

#include <functional>
#include <memory>
#include <string>

#include "LoopbackHttpServer.h"

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

// A loopback server that answers one request per connection (see LoopbackServer()).
class LoopbackServer : public kelsor::test::LoopbackHttpServer {
public:
    LoopbackServer();
};

// A top-level host widget of the given size, shown offscreen.
std::unique_ptr<QWidget> MakeHost(int width, int height);

// Runs script in the view's page, waits for it and returns its result as a
// string ("<undefined>" for undefined or null, "<timeout>" when it never ends).
std::wstring Evaluate(WebView* view, const std::wstring& script);

}  // namespace kelsor::platform::test
