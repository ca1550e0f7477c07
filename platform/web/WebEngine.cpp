#include "platform/web/WebEngine.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QOpenGLContext>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/web/BridgeProtocol.h"
#include "platform/web/WebBackend.h"
#include "platform/web/WebView.h"

// Qt's process-wide OpenGL context that the engine's views share (exported by
// Qt GUI; Qt WebEngine sets it through these same functions).
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
QT_END_NAMESPACE

namespace kelsor::platform {
namespace {

struct Binding {
    int declaredArgs = 0;
    ScriptFunction handler;
};

// Answers the module's questions from the bindings and origins kept here.
class Host final : public WebBackendHost {
public:
    std::optional<std::wstring> CallFunction(WebView* view, const std::wstring& name,
                                             std::vector<std::wstring> args) override;
    bool IsTrustedOrigin(const std::wstring& url) override { return WebIsTrustedOrigin(url); }
};

// The engine is one per process, like the binding it offers.
struct EngineState {
    bool initialized = false;
    std::map<std::wstring, Binding> functions;
    std::vector<std::wstring> origins;
    Host host;
    WebBackend* backend = nullptr;           // loaded with the first start, kept
    QOpenGLContext* shareContext = nullptr;  // made when the engine started
};

EngineState& State() {
    static EngineState state;
    return state;
}

std::optional<std::wstring> Host::CallFunction(WebView* view, const std::wstring& name,
                                               std::vector<std::wstring> args) {
    const auto found = State().functions.find(name);
    if (found == State().functions.end() || !found->second.handler) {
        return std::nullopt;
    }
    // Copy: the handler may rebind functions while it runs.
    ScriptFunction handler = found->second.handler;
    return handler(view, std::move(args));
}

void InstallPageScript() {
    std::vector<bridge::BoundFunction> functions;
    for (const auto& [name, binding] : State().functions) {
        functions.push_back({name, binding.declaredArgs});
    }
    State().backend->SetPageScript(bridge::BuildPageScript(functions));
}

// Stands in for the shared OpenGL context until the engine starts. Qt
// WebEngine makes a real one as the application starts unless one is set, and
// making it (software OpenGL on most machines here) costs tens of megabytes
// and a good part of the start-up, for a program that may never show a page.
QOpenGLContext* PlaceholderShareContext() {
    static QOpenGLContext* const placeholder = new QOpenGLContext();
    return placeholder;
}

// Goes with the application, while its platform still exists.
void ReleaseShareContext() {
    QOpenGLContext*& context = State().shareContext;
    if (qt_gl_global_share_context() == context) {
        qt_gl_set_global_share_context(nullptr);
    }
    delete context;
    context = nullptr;
}

// The real shared context, made when the engine starts: the engine's views
// and the widgets hosting them draw through it.
void ShareOpenGLContexts() {
    QOpenGLContext* current = qt_gl_global_share_context();
    if (current != nullptr && current != PlaceholderShareContext()) {
        return;  // the application's own, or the one made at an earlier start
    }
    auto* context = new QOpenGLContext();
    context->setFormat(QSurfaceFormat::defaultFormat());
    context->create();
    State().shareContext = context;
    qt_gl_set_global_share_context(context);
    qAddPostRoutine(ReleaseShareContext);
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
    // Before the module loads: the engine looks for the shared context then.
    ShareOpenGLContexts();
    if (state.backend == nullptr) {
        state.backend = LoadWebBackend(&state.host);
        if (state.backend == nullptr) {
            return false;
        }
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
    state.backend->Shutdown();
    state.functions.clear();
    state.origins.clear();
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

WebView* WebView::Create(QWidget* parent, int x, int y, int width, int height) {
    if (parent == nullptr || !WebIsInitialized()) {
        return nullptr;
    }
    WebView* view = State().backend->CreateView(parent);
    view->Resize(x, y, width, height);
    return view;
}

}  // namespace kelsor::platform
