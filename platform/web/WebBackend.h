#pragma once
// Internal: the boundary between the web view layer and the module holding
// the engine. The program does not link the engine (a whole browser, tens of
// megabytes to map and relocate): the layer loads the module when the first
// view is about to be made and talks to it only through these interfaces.
// Both sides are built together by the same compiler, so standard library
// types may cross.

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace kelsor::platform {

class WebView;

// What the module asks of the layer, which keeps the bindings and origins.
class WebBackendHost {
public:
    // A bound function called by view's page; nullopt is undefined to the script.
    virtual std::optional<std::wstring> CallFunction(WebView* view, const std::wstring& name,
                                                     std::vector<std::wstring> args) = 0;
    virtual bool IsTrustedOrigin(const std::wstring& url) = 0;

protected:
    ~WebBackendHost() = default;
};

// The engine as the module offers it; one per process, never unloaded.
class WebBackend {
public:
    // Replaces the script injected into every page loaded from now on.
    virtual void SetPageScript(const std::wstring& script) = 0;
    // A hidden child view of parent.
    virtual WebView* CreateView(QWidget* parent) = 0;
    // Destroys the remaining views and removes the page script.
    virtual void Shutdown() = 0;

protected:
    ~WebBackend() = default;
};

// The module's one exported function, resolved by name.
using WebBackendEntry = WebBackend* (*)(WebBackendHost* host);
inline constexpr const char* kWebBackendEntryName = "kelsor_web_backend";
// The module's file name, installed beside the program.
inline constexpr const char* kWebModuleFileName = "libkelsorocr-web.so";

// Layer side: loads the module (beside the program, else through the
// library search path) and starts its engine; null, with a warning on the
// log, when it cannot be loaded.
WebBackend* LoadWebBackend(WebBackendHost* host);

}  // namespace kelsor::platform
