#pragma once
// The web view inside an account window and the process-wide registry that
// ties each view to its window, so that page callbacks and script calls find
// the window they belong to.

#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

namespace kelsor::platform {
class WebView;
}
namespace kelsor::ui {
class CWindowWnd;
}

namespace kelsor::account {

// One per account window.
struct WebWindow {
    platform::WebView* view = nullptr;  // null when creation failed or the view is gone
    QWidget* hostWindow = nullptr;      // the view's own widget
    std::wstring title;
};

struct WebViewBinding {
    ui::CWindowWnd* window = nullptr;
    // The window's handle at registration; null once the window is gone.
    QPointer<QWidget> handle;
    platform::WebView* view = nullptr;
    std::wstring title;

    bool WindowExists() const;
};

// Entries in the order of registration. Touched on the UI thread only.
class WebViewRegistry {
public:
    static WebViewRegistry& Instance();

    void Add(WebViewBinding binding);
    // Removes the first entry of `view`; the rest keep their order.
    void Remove(const platform::WebView* view);
    // The first entry of `view` whose window still exists; null otherwise.
    const WebViewBinding* FindLive(const platform::WebView* view) const;
    // Every entry of `view` whose window still exists (copies: handlers of
    // what follows may change the registry).
    std::vector<WebViewBinding> LiveEntries(const platform::WebView* view) const;
    std::size_t Size() const { return m_entries.size(); }

private:
    std::vector<WebViewBinding> m_entries;
};

// Creates the hidden web view as a child of `window` at (x, y, width, height)
// of its client area, wires its callbacks and binds "wkaction". False, with
// web.view null, when the engine gives no view.
bool CreateWebView(WebWindow& web, ui::CWindowWnd& window, int x, int y, int width, int height);

// Sets the title kept for the view's host window (skipped without a view).
void SetWebWindowTitle(WebWindow& web, const std::wstring& title);

// Appends a binding of the view and `window` when the window still exists.
void RegisterWebView(WebWindow& web, ui::CWindowWnd& window);

// Removes the entry of the view, then clears the title.
void UnregisterWebView(WebWindow& web);

// The navigation policy for a page's request to open a window: the view that
// shall load `url`, or null. Only http and https URLs are taken: empty and
// "_blank" go to the desktop opener; "wontOpen" opens nothing; "_self" and
// every other name navigate in place. Any other URL (a local file too) opens
// nothing.
platform::WebView* ChooseViewForRequest(platform::WebView* view, const std::wstring& url,
                                        const std::wstring& targetName);

}  // namespace kelsor::account
