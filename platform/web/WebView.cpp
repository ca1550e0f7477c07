#include "platform/web/WebView.h"

#include <QString>
#include <QUrl>

#include "platform/web/WebViewHost.h"

namespace kelsor::platform {
namespace {
WebViewImpl* Impl(WebView* view) {
    return static_cast<WebViewImpl*>(view);
}
const WebViewImpl* Impl(const WebView* view) {
    return static_cast<const WebViewImpl*>(view);
}
}  // namespace

WebView* WebView::Create(QWidget* parent, int x, int y, int width, int height) {
    if (parent == nullptr || !WebIsInitialized()) {
        return nullptr;
    }
    auto* view = new WebViewImpl(parent);
    view->setGeometry(x, y, width, height);
    view->hide();
    return view;
}

void WebView::Destroy() {
    Impl(this)->RequestDestroy();
}

QWidget* WebView::HostWindow() {
    return Impl(this);
}

void WebView::OnWindowClosing(WindowClosingCallback callback) {
    Impl(this)->m_onClosing = std::move(callback);
}
void WebView::OnWindowDestroy(WindowDestroyCallback callback) {
    Impl(this)->m_onDestroy = std::move(callback);
}
void WebView::OnDocumentReady(DocumentReadyCallback callback) {
    Impl(this)->m_onReady = std::move(callback);
}
void WebView::OnTitleChanged(TitleChangedCallback callback) {
    Impl(this)->m_onTitle = std::move(callback);
}
void WebView::OnCreateView(CreateViewCallback callback) {
    Impl(this)->m_onCreateView = std::move(callback);
}

void WebView::LoadUrl(const std::wstring& url) {
    Impl(this)->load(QUrl(QString::fromStdWString(url)));
}

std::wstring WebView::Url() const {
    return Impl(this)->url().toString().toStdWString();
}

std::wstring WebView::PageTitle() const {
    return Impl(this)->title().toStdWString();
}

void WebView::SetWindowTitle(const std::wstring& title) {
    Impl(this)->m_windowTitle = title;
    Impl(this)->setWindowTitle(QString::fromStdWString(title));
}

std::wstring WebView::WindowTitle() const {
    return Impl(this)->m_windowTitle;
}

void WebView::Show(bool visible) {
    Impl(this)->setVisible(visible);
}

bool WebView::IsShown() const {
    return Impl(this)->isVisible();
}

void WebView::Resize(int x, int y, int width, int height) {
    Impl(this)->setGeometry(x, y, width, height);
}

void WebView::RunScript(const std::wstring& script) {
    Impl(this)->page()->runJavaScript(QString::fromStdWString(script));
}

}  // namespace kelsor::platform
