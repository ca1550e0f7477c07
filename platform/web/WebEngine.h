#pragma once
// Engine-wide operations of the web view layer: the process set-up, one
// initialisation and finalisation per run, the global script bindings and the
// origins allowed to call them.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelsor::platform {

class WebView;

// Handler of a bound script function: the arguments as strings; the answer is
// returned to the script as a string, nullopt as the value undefined. It runs
// inside the page's call, while the engine does no other work: it must not
// wait for any page (not even another view's); post such work and return.
using ScriptFunction =
    std::function<std::optional<std::wstring>(WebView* view, std::vector<std::wstring> args)>;

// Call before the QApplication exists. When the process runs as root the
// engine's sandbox cannot start, so it is switched off (together with the GPU)
// through the engine's environment variables; values already set are kept.
void PrepareWebEngineEnvironment();

// Starts the engine (its profile and page script): after the QApplication
// exists and before the first view; false when there is no application
// object or the engine's module cannot be loaded (a warning says why). The
// engine is a whole browser, loaded from its module by the first call, so a
// program calls this only when it is about to show a page. A second call does
// nothing and returns true.
bool WebInitialize();
// Once at the end of the run: destroys the remaining views and drops the
// bindings. Does nothing when the engine was never started.
void WebFinalize();
bool WebIsInitialized();

// Binds a global script function for every page loaded from now on. A new
// binding of the same name replaces the handler.
void WebBindFunction(const std::wstring& name, int declaredArgs, ScriptFunction handler);

// Bound functions answer only pages whose origin (scheme, host, port) is in
// this list, e.g. "http://web.kelsor.localhost:18080"; others get undefined.
// Empty by default: nothing is answered until the owner names its origins.
void WebSetTrustedOrigins(std::vector<std::wstring> origins);
bool WebIsTrustedOrigin(const std::wstring& url);

// Called once per message of a web window's loop. Qt WebEngine schedules its
// own painting, so there is nothing left to flush; kept so the loop reads the
// same on every engine.
void WebRepaintAllNeeded();

}  // namespace kelsor::platform
