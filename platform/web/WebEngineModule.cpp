// The engine module: Qt WebEngine behind the WebBackend interface. Loaded by
// the web view layer with the first view; nothing else here is exported.
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <algorithm>

#include "platform/web/WebBackend.h"
#include "platform/web/WebViewHost.h"

namespace kelsor::platform {
namespace {

constexpr const char* kScriptName = "kelsor-bridge";

void RemovePageScript() {
    QWebEngineScriptCollection& scripts = *QWebEngineProfile::defaultProfile()->scripts();
    for (const QWebEngineScript& old : scripts.find(QString::fromUtf8(kScriptName))) {
        scripts.remove(old);
    }
}

class QtWebBackend final : public WebBackend {
public:
    explicit QtWebBackend(WebBackendHost* host) : m_host(host) {}

    void SetPageScript(const std::wstring& source) override {
        RemovePageScript();
        QWebEngineScript script;
        script.setName(QString::fromUtf8(kScriptName));
        script.setSourceCode(QString::fromStdWString(source));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        // The page's own scripts must see the functions, so they live in its world.
        script.setWorldId(QWebEngineScript::MainWorld);
        script.setRunsOnSubFrames(false);
        QWebEngineProfile::defaultProfile()->scripts()->insert(script);
    }

    WebView* CreateView(QWidget* parent) override {
        auto* view = new WebViewImpl(parent);
        view->hide();
        return view;
    }

    void Shutdown() override {
        while (!m_views.empty()) {
            delete m_views.back();  // its destructor removes it from the list
        }
        RemovePageScript();
    }

    WebBackendHost* m_host;
    std::vector<WebViewImpl*> m_views;
};

QtWebBackend* g_backend = nullptr;  // the module's one engine, made by the entry point

}  // namespace

namespace detail {

QWebEngineProfile* EngineProfile() {
    return QWebEngineProfile::defaultProfile();
}

bool IsTrustedOrigin(const std::wstring& url) {
    return g_backend->m_host->IsTrustedOrigin(url);
}

void AddView(WebViewImpl* view) {
    g_backend->m_views.push_back(view);
}

void RemoveView(WebViewImpl* view) {
    auto& views = g_backend->m_views;
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
}

std::optional<std::wstring> CallFunction(WebViewImpl* view, const std::wstring& name,
                                         std::vector<std::wstring> args) {
    return g_backend->m_host->CallFunction(view, name, std::move(args));
}

}  // namespace detail
}  // namespace kelsor::platform

extern "C" __attribute__((visibility("default"))) kelsor::platform::WebBackend* kelsor_web_backend(
    kelsor::platform::WebBackendHost* host) {
    using kelsor::platform::g_backend;
    if (g_backend == nullptr) {
        g_backend = new kelsor::platform::QtWebBackend(host);
    }
    return g_backend;
}
