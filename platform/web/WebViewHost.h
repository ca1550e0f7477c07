#pragma once
// Internal, in the engine module: the Qt classes behind WebView and the
// engine registry they use.

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <optional>
#include <string>
#include <vector>

#include "platform/web/WebBackend.h"
#include "platform/web/WebView.h"

namespace kelsor::platform {

class WebViewImpl;

// Answers the bridge's prompt() calls synchronously from C++.
class BridgePage : public QWebEnginePage {
public:
    BridgePage(QWebEngineProfile* profile, WebViewImpl* owner);
    void DetachOwner() { m_owner = nullptr; }

protected:
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;

private:
    // The calling frame and the page both come from a trusted origin.
    bool Trusted(const QUrl& securityOrigin) const;
    bool AnswerCall(const QUrl& securityOrigin, const QString& payload, QString* result);
    bool AnswerOpen(const QUrl& securityOrigin, const QString& payload, QString* result);

    WebViewImpl* m_owner;
};

class WebViewImpl : public QWebEngineView, public WebView {
public:
    explicit WebViewImpl(QWidget* parent);
    ~WebViewImpl() override;

    // Destroy() support: callbacks and script calls in progress on this view,
    // and a destruction waiting for them to end (the engine still uses the
    // page when they return).
    class CallbackScope {
    public:
        explicit CallbackScope(WebViewImpl* view) : m_view(view) { ++m_view->m_callDepth; }
        ~CallbackScope() { m_view->LeaveCall(); }
        CallbackScope(const CallbackScope&) = delete;
        CallbackScope& operator=(const CallbackScope&) = delete;

    private:
        WebViewImpl* m_view;
    };
    void RequestDestroy();

    void Destroy() override;
    QWidget* HostWindow() override;
    void OnWindowClosing(WindowClosingCallback callback) override;
    void OnWindowDestroy(WindowDestroyCallback callback) override;
    void OnDocumentReady(DocumentReadyCallback callback) override;
    void OnTitleChanged(TitleChangedCallback callback) override;
    void OnCreateView(CreateViewCallback callback) override;
    void LoadUrl(const std::wstring& url) override;
    std::wstring Url() const override;
    std::wstring PageTitle() const override;
    void SetWindowTitle(const std::wstring& title) override;
    std::wstring WindowTitle() const override;
    void Show(bool visible) override;
    bool IsShown() const override;
    void Resize(int x, int y, int width, int height) override;
    void RunScript(const std::wstring& script) override;

    // The navigation decision for a window request; true: load here.
    bool DecideOpen(const std::wstring& url, const std::wstring& targetName);

    WindowClosingCallback m_onClosing;
    WindowDestroyCallback m_onDestroy;
    DocumentReadyCallback m_onReady;
    TitleChangedCallback m_onTitle;
    CreateViewCallback m_onCreateView;
    std::wstring m_windowTitle;

private:
    void LeaveCall();
    void HandleCloseRequest();

    BridgePage* m_page;
    int m_callDepth = 0;
    bool m_destroyPending = false;
};

namespace detail {
QWebEngineProfile* EngineProfile();
bool IsTrustedOrigin(const std::wstring& url);
void AddView(WebViewImpl* view);
void RemoveView(WebViewImpl* view);
// Runs a bound function for view; nullopt is undefined to the script.
std::optional<std::wstring> CallFunction(WebViewImpl* view, const std::wstring& name,
                                         std::vector<std::wstring> args);
}  // namespace detail

}  // namespace kelsor::platform
