#pragma once
// A web view placed as a child control inside a host widget, with the
// operations and callbacks the account windows rely on. The handle stays valid
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
    void Destroy();

    // The widget that shows the page.
    QWidget* HostWindow();

    void OnWindowClosing(WindowClosingCallback callback);
    void OnWindowDestroy(WindowDestroyCallback callback);
    void OnDocumentReady(DocumentReadyCallback callback);
    void OnTitleChanged(TitleChangedCallback callback);
    void OnCreateView(CreateViewCallback callback);

    void LoadUrl(const std::wstring& url);
    std::wstring Url() const;
    // The page's own title.
    std::wstring PageTitle() const;
    // The title kept for the view's host window.
    void SetWindowTitle(const std::wstring& title);
    std::wstring WindowTitle() const;
    void Show(bool visible);
    bool IsShown() const;
    void Resize(int x, int y, int width, int height);

    // Runs script in the page without waiting for it.
    void RunScript(const std::wstring& script);

protected:
    WebView() = default;
    virtual ~WebView() = default;
};

}  // namespace kelsor::platform
