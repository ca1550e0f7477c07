#include "platform/web/WebViewHost.h"

#include <QWebEngineNewWindowRequest>

#include "platform/web/BridgeProtocol.h"

namespace kelsor::platform {

BridgePage::BridgePage(QWebEngineProfile* profile, WebViewImpl* owner)
    : QWebEnginePage(profile, owner), m_owner(owner) {}

bool BridgePage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                  const QString& defaultValue, QString* result) {
    if (msg == QLatin1String(bridge::kCallMarker)) {
        return AnswerCall(securityOrigin, defaultValue, result);
    }
    if (msg == QLatin1String(bridge::kOpenMarker)) {
        return AnswerOpen(securityOrigin, defaultValue, result);
    }
    // The account pages never ask the user for text; a stray prompt is declined
    // rather than popping a dialog over the account window.
    return false;
}

bool BridgePage::Trusted(const QUrl& securityOrigin) const {
    // Both the calling frame and the page must come from a trusted origin: every
    // page gets the injected script, whichever site it comes from.
    return detail::IsTrustedOrigin(securityOrigin.toString().toStdWString()) &&
           detail::IsTrustedOrigin(url().toString().toStdWString());
}

bool BridgePage::AnswerCall(const QUrl& securityOrigin, const QString& payload, QString* result) {
    if (m_owner == nullptr || !Trusted(securityOrigin)) {
        return false;
    }
    const auto call = bridge::ParseCall(payload.toStdWString());
    if (!call) {
        return false;
    }
    std::optional<std::wstring> answer;
    {
        WebViewImpl::CallbackScope scope(m_owner);
        answer = detail::CallFunction(m_owner, call->function, call->args);
    }
    if (!answer) {
        return false;
    }
    *result = QString::fromStdWString(*answer);
    return true;
}

bool BridgePage::AnswerOpen(const QUrl& securityOrigin, const QString& payload, QString* result) {
    const auto request = bridge::ParseOpenRequest(payload.toStdWString());
    bool here = false;
    // Other sites' pages open nothing: their links could hand anything to
    // the desktop.
    if (m_owner != nullptr && request && Trusted(securityOrigin)) {
        WebViewImpl::CallbackScope scope(m_owner);
        here = m_owner->DecideOpen(request->url, request->targetName);
    }
    *result = QLatin1String(here ? bridge::kOpenHere : bridge::kOpenNone);
    return true;
}

WebViewImpl::WebViewImpl(QWidget* parent)
    : QWebEngineView(parent), m_page(new BridgePage(detail::EngineProfile(), this)) {
    setPage(m_page);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok && m_onReady) {
            CallbackScope scope(this);
            m_onReady(this);
        }
    });
    connect(m_page, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
        if (m_onTitle) {
            CallbackScope scope(this);
            m_onTitle(this, title.toStdWString());
        }
    });
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, [this] { HandleCloseRequest(); });
    // Requests the page script did not route (forms with a target, the
    // keyboard) arrive here without a frame name and count as "_blank".
    connect(m_page, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) {
                if (!detail::IsTrustedOrigin(url().toString().toStdWString())) {
                    return;  // the same rule as for the script's requests
                }
                const std::wstring target = request.requestedUrl().toString().toStdWString();
                CallbackScope scope(this);
                if (DecideOpen(target, L"_blank")) {
                    load(request.requestedUrl());
                }
            });
    detail::AddView(this);
}

WebViewImpl::~WebViewImpl() {
    detail::RemoveView(this);
    m_page->disconnect(this);
    m_page->DetachOwner();
    if (WindowDestroyCallback callback = std::move(m_onDestroy)) {
        callback(this);
    }
}

void WebViewImpl::LeaveCall() {
    if (--m_callDepth == 0 && m_destroyPending) {
        deleteLater();
    }
}

void WebViewImpl::RequestDestroy() {
    if (m_callDepth > 0) {
        // The engine is still inside a call on this page; it must outlive it.
        hide();
        m_destroyPending = true;
        return;
    }
    delete this;
}

bool WebViewImpl::DecideOpen(const std::wstring& url, const std::wstring& targetName) {
    if (!m_onCreateView) {
        return false;
    }
    WebView* chosen = m_onCreateView(this, url, targetName);
    if (chosen == this) {
        return true;
    }
    if (chosen != nullptr) {
        chosen->LoadUrl(url);
    }
    return false;
}

void WebViewImpl::HandleCloseRequest() {
    CallbackScope scope(this);
    if (m_onClosing && !m_onClosing(this)) {
        return;
    }
    RequestDestroy();
}

}  // namespace kelsor::platform
