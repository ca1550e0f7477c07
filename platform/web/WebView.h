#pragma once
// A web view placed as a child control inside a host widget, with the
// operations and callbacks the account windows rely on. The engine behind it
// lives in a module loaded with the first view (see WebEngine.h). The handle stays valid
// until the view is destroyed (Destroy(), or deletion of its host widget),
// which the window-destroy callback reports.

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace kelsor::platform {

class WebView;

// Asked before the view closes on the page's request; false keeps it open.
using WindowClosingCallback = std::function<bool(WebView* view)>;
// The view is being destroyed; the handle is invalid afterwards.
using WindowDestroyCallback = std::function<void(WebView* view)>;
// The main document finished loading successfully.
using DocumentReadyCallback = std::function<void(WebView* view)>;
using TitleChangedCallback = std::function<void(WebView* view, const std::wstring& title)>;
// The page asks for a new window (window.open or a link with a target). The
// answer is the view that shall load the URL: the same view navigates in
// place, another view loads it, null opens nothing here. Only pages of the
// trusted origins (WebSetTrustedOrigins) are asked; others open nothing.
using CreateViewCallback =
    std::function<WebView*(WebView* view, const std::wstring& url, const std::wstring& targetName)>;

class WebView {
public:
    // A hidden child view of parent at (x, y, width, height) in parent's
    // coordinates; null when the engine is not initialised or parent is null.
    static WebView* Create(QWidget* parent, int x, int y, int width, int height);

    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    // Destroys the view. Called from inside one of this view's own script
    // calls, it hides the view at once and destroys it after the call returns.
    virtual void Destroy() = 0;

    // The widget that shows the page.
    virtual QWidget* HostWindow() = 0;

    virtual void OnWindowClosing(WindowClosingCallback callback) = 0;
    virtual void OnWindowDestroy(WindowDestroyCallback callback) = 0;
    virtual void OnDocumentReady(DocumentReadyCallback callback) = 0;
    virtual void OnTitleChanged(TitleChangedCallback callback) = 0;
    virtual void OnCreateView(CreateViewCallback callback) = 0;

    virtual void LoadUrl(const std::wstring& url) = 0;
    virtual std::wstring Url() const = 0;
    // The page's own title.
    virtual std::wstring PageTitle() const = 0;
    // The title kept for the view's host window.
    virtual void SetWindowTitle(const std::wstring& title) = 0;
    virtual std::wstring WindowTitle() const = 0;
    virtual void Show(bool visible) = 0;
    virtual bool IsShown() const = 0;
    virtual void Resize(int x, int y, int width, int height) = 0;

    // Runs script in the page without waiting for it.
    virtual void RunScript(const std::wstring& script) = 0;

protected:
    WebView() = default;
    // Views are destroyed through Destroy() or with their host widget.
    virtual ~WebView() = default;
};

}  // namespace kelsor::platform
