#pragma once
// Shared pieces of the web view tests: one QApplication with the engine
// initialised for the whole test program, a loopback HTTP server and script
// evaluation.

#include <functional>
#include <memory>
#include <string>

#include "EventWaits.h"
#include "LoopbackHttpServer.h"

class QWidget;

namespace kelsor::platform {
class WebView;
}

namespace kelsor::platform::test {

using kelsor::test::RunEventsFor;
using kelsor::test::WaitFor;

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
