#include "platform/web/WebEngine.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QOpenGLContext>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/web/BridgeProtocol.h"
#include "platform/web/WebViewHost.h"

// Qt's process-wide OpenGL context that the engine's views share (exported by
// Qt GUI; Qt WebEngine sets it through these same functions).
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
QT_END_NAMESPACE

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

// Stands in for the shared OpenGL context until the engine starts. Qt
// WebEngine makes a real one as the application starts unless one is set, and
// making it (software OpenGL on most machines here) costs tens of megabytes
// and a good part of the start-up, for a program that may never show a page.
QOpenGLContext* PlaceholderShareContext() {
    static QOpenGLContext* const placeholder = new QOpenGLContext();
    return placeholder;
}

// The real shared context, made when the engine starts: the engine's views
// and the widgets hosting them draw through it.
void ShareOpenGLContexts() {
    QOpenGLContext* current = qt_gl_global_share_context();
    if (current == nullptr || current == PlaceholderShareContext()) {
        auto* context = new QOpenGLContext(QCoreApplication::instance());
        context->setFormat(QSurfaceFormat::defaultFormat());
        context->create();
        qt_gl_set_global_share_context(context);
    }
}

}  // namespace

void PrepareWebEngineEnvironment() {
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 0);
    }
    if (QCoreApplication::instance() == nullptr && qt_gl_global_share_context() == nullptr) {
        qt_gl_set_global_share_context(PlaceholderShareContext());
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
    ShareOpenGLContexts();
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
