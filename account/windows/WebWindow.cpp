#include "account/windows/WebWindow.h"

#include <QUrl>
#include <algorithm>

#include "account/windows/ScriptBridge.h"
#include "platform/sys/Messages.h"
#include "platform/sys/Process.h"
#include "platform/ui/WindowImplBase.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebView.h"

namespace kelsor::account {
namespace {

bool IsWebAddress(const std::wstring& url) {
    const QUrl parsed(QString::fromStdWString(url), QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && !parsed.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// The page finished loading: every live window of the view learns it
// (message 2126) and the view comes out from behind the window's content.
void OnDocumentReady(platform::WebView* view) {
    for (const WebViewBinding& entry : WebViewRegistry::Instance().LiveEntries(view)) {
        entry.window->SendMessage(WM_KSOCR_WEBDOCREADY, 0, 0);
        view->Show(true);
    }
}

}  // namespace

bool WebViewBinding::WindowExists() const {
    return window != nullptr && !handle.isNull() && window->GetHWND() == handle.data();
}

WebViewRegistry& WebViewRegistry::Instance() {
    static WebViewRegistry registry;
    return registry;
}

void WebViewRegistry::Add(WebViewBinding binding) {
    m_entries.push_back(std::move(binding));
}

void WebViewRegistry::Remove(const platform::WebView* view) {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [view](const WebViewBinding& e) { return e.view == view; });
    if (found != m_entries.end())
        m_entries.erase(found);
}

const WebViewBinding* WebViewRegistry::FindLive(const platform::WebView* view) const {
    for (const WebViewBinding& entry : m_entries) {
        if (entry.view == view && entry.WindowExists())
            return &entry;
    }
    return nullptr;
}

std::vector<WebViewBinding> WebViewRegistry::LiveEntries(const platform::WebView* view) const {
    std::vector<WebViewBinding> live;
    for (const WebViewBinding& entry : m_entries) {
        if (entry.view == view && entry.WindowExists())
            live.push_back(entry);
    }
    return live;
}

bool CreateWebView(WebWindow& web, ui::CWindowWnd& window, int x, int y, int width, int height) {
    // Most runs never show a web page: the engine (a whole browser) starts
    // with the first account window rather than with the program.
    if (!platform::WebInitialize()) {
        web.view = nullptr;
        web.hostWindow = nullptr;
        return false;
    }
    // Bound before the first page loads, and renewed with every view: the
    // binding is global to the engine.
    BindScriptBridge();
    web.view = platform::WebView::Create(window.GetHWND(), x, y, width, height);
    if (web.view == nullptr) {
        web.hostWindow = nullptr;
        return false;
    }
    web.hostWindow = web.view->HostWindow();
    web.view->OnWindowClosing([](platform::WebView*) { return true; });
    // A view that goes before its window (a page closing itself) must leave
    // no handle behind for the window or the registry.
    WebWindow* owner = &web;
    web.view->OnWindowDestroy([owner](platform::WebView* view) {
        WebViewRegistry::Instance().Remove(view);
        if (owner->view == view) {
            owner->view = nullptr;
            owner->hostWindow = nullptr;
        }
    });
    web.view->OnDocumentReady(&OnDocumentReady);
    web.view->OnTitleChanged(
        [](platform::WebView* view, const std::wstring& title) { view->SetWindowTitle(title); });
    web.view->OnCreateView(&ChooseViewForRequest);
    return true;
}

void SetWebWindowTitle(WebWindow& web, const std::wstring& title) {
    if (web.view == nullptr)
        return;
    web.title = title;
    web.view->SetWindowTitle(title);
}

void RegisterWebView(WebWindow& web, ui::CWindowWnd& window) {
    if (window.GetHWND() == nullptr)
        return;
    WebViewBinding binding;
    binding.window = &window;
    binding.handle = window.GetHWND();
    binding.view = web.view;
    binding.title = web.title;
    WebViewRegistry::Instance().Add(std::move(binding));
}

void UnregisterWebView(WebWindow& web) {
    if (web.view != nullptr) {
        web.view->OnWindowDestroy(nullptr);
        WebViewRegistry::Instance().Remove(web.view);
    }
    web.title.clear();
}

platform::WebView* ChooseViewForRequest(platform::WebView* view, const std::wstring& url,
                                        const std::wstring& targetName) {
    // Only web addresses leave the view: a local file or another scheme
    // handed to the desktop would run whatever the desktop opens it with.
    if (!IsWebAddress(url)) {
        return nullptr;
    }
    if (targetName.empty() || targetName == L"_blank") {
        platform::OpenWithDesktop(url);
        return nullptr;
    }
    if (targetName == L"wontOpen")
        return nullptr;
    return view;  // "_self" and any other name: navigate in place
}

}  // namespace kelsor::account
