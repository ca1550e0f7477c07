// The WebView operations of the Qt WebEngine view.
#include <QString>
#include <QUrl>

#include "platform/web/WebViewHost.h"

namespace kelsor::platform {
void WebViewImpl::Destroy() {
    RequestDestroy();
}

QWidget* WebViewImpl::HostWindow() {
    return this;
}

void WebViewImpl::OnWindowClosing(WindowClosingCallback callback) {
    m_onClosing = std::move(callback);
}
void WebViewImpl::OnWindowDestroy(WindowDestroyCallback callback) {
    m_onDestroy = std::move(callback);
}
void WebViewImpl::OnDocumentReady(DocumentReadyCallback callback) {
    m_onReady = std::move(callback);
}
void WebViewImpl::OnTitleChanged(TitleChangedCallback callback) {
    m_onTitle = std::move(callback);
}
void WebViewImpl::OnCreateView(CreateViewCallback callback) {
    m_onCreateView = std::move(callback);
}

void WebViewImpl::LoadUrl(const std::wstring& url) {
    load(QUrl(QString::fromStdWString(url)));
}

std::wstring WebViewImpl::Url() const {
    return url().toString().toStdWString();
}

std::wstring WebViewImpl::PageTitle() const {
    return title().toStdWString();
}

void WebViewImpl::SetWindowTitle(const std::wstring& title) {
    m_windowTitle = title;
    setWindowTitle(QString::fromStdWString(title));
}

std::wstring WebViewImpl::WindowTitle() const {
    return m_windowTitle;
}

void WebViewImpl::Show(bool visible) {
    setVisible(visible);
}

bool WebViewImpl::IsShown() const {
    return isVisible();
}

void WebViewImpl::Resize(int x, int y, int width, int height) {
    setGeometry(x, y, width, height);
}

void WebViewImpl::RunScript(const std::wstring& script) {
    page()->runJavaScript(QString::fromStdWString(script));
}

}  // namespace kelsor::platform
