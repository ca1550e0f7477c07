#include "platform/web/WebEngine.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/web/BridgeProtocol.h"
#include "platform/web/WebViewHost.h"

namespace kelsor::platform {
namespace {

constexpr const char* kScriptName = "kelsor-bridge";

struct Binding {
    int declaredArgs = 0;
    ScriptFunction handler;
};

// The engine is one per process, like the binding it offers.
struct EngineState {
    bool initialized = false;
    std::map<std::wstring, Binding> functions;
    std::vector<std::wstring> origins;
    std::vector<WebViewImpl*> views;
};

EngineState& State() {
    static EngineState state;
    return state;
}

void InstallPageScript() {
    QWebEngineScriptCollection& scripts = *QWebEngineProfile::defaultProfile()->scripts();
    for (const QWebEngineScript& old : scripts.find(QString::fromUtf8(kScriptName))) {
        scripts.remove(old);
    }
    std::vector<bridge::BoundFunction> functions;
    for (const auto& [name, binding] : State().functions) {
        functions.push_back({name, binding.declaredArgs});
    }
    QWebEngineScript script;
    script.setName(QString::fromUtf8(kScriptName));
    script.setSourceCode(QString::fromStdWString(bridge::BuildPageScript(functions)));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    // The page's own scripts must see the functions, so they live in its world.
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    scripts.insert(script);
}

}  // namespace

void PrepareWebEngineEnvironment() {
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 0);
    }
    // The engine shares OpenGL contexts with the widgets; must precede QApplication.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

bool WebInitialize() {
    EngineState& state = State();
    if (state.initialized) {
        return true;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return false;
    }
    state.initialized = true;
    InstallPageScript();
    return true;
}

void WebFinalize() {
    EngineState& state = State();
    if (!state.initialized) {
        return;
    }
    // Views left over would outlive the engine's profile otherwise.
    while (!state.views.empty()) {
        delete state.views.back();  // its destructor removes it from the list
    }
    state.functions.clear();
    state.origins.clear();
    QWebEngineScriptCollection& scripts = *QWebEngineProfile::defaultProfile()->scripts();
    for (const QWebEngineScript& old : scripts.find(QString::fromUtf8(kScriptName))) {
        scripts.remove(old);
    }
    state.initialized = false;
}

bool WebIsInitialized() {
    return State().initialized;
}

void WebBindFunction(const std::wstring& name, int declaredArgs, ScriptFunction handler) {
    State().functions[name] = Binding{declaredArgs, std::move(handler)};
    if (State().initialized) {
        InstallPageScript();
    }
}

void WebSetTrustedOrigins(std::vector<std::wstring> origins) {
    State().origins = std::move(origins);
}

bool WebIsTrustedOrigin(const std::wstring& url) {
    const auto& origins = State().origins;
    return std::any_of(origins.begin(), origins.end(),
                       [&](const std::wstring& origin) { return bridge::SameOrigin(url, origin); });
}

void WebRepaintAllNeeded() {}

namespace detail {

QWebEngineProfile* EngineProfile() {
    return QWebEngineProfile::defaultProfile();
}

void AddView(WebViewImpl* view) {
    State().views.push_back(view);
}

void RemoveView(WebViewImpl* view) {
    auto& views = State().views;
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
}

std::optional<std::wstring> CallFunction(WebViewImpl* view, const std::wstring& name,
                                         std::vector<std::wstring> args) {
    const auto found = State().functions.find(name);
    if (found == State().functions.end() || !found->second.handler) {
        return std::nullopt;
    }
    // Copy: the handler may rebind functions while it runs.
    ScriptFunction handler = found->second.handler;
    return handler(view, std::move(args));
}

}  // namespace detail
}  // namespace kelsor::platform
