#include "account/windows/AccountWnd.h"

#include <QWidget>

#include "app/AppContext.h"
#include "notices/CommonDlg.h"
#include "platform/sys/Messages.h"
#include "platform/ui/MainWindowRef.h"
#include "platform/web/WebView.h"

namespace kelsor::account {

using namespace kelsor::ui;

CAccountWnd::CAccountWnd(CWindowWnd* parent, AccountWindowKind kind, std::wstring skinFile,
                         std::wstring webTitle)
    : m_parent(parent),
      m_kind(kind),
      m_skinFile(std::move(skinFile)),
      m_webTitle(std::move(webTitle)) {}

CAccountWnd::~CAccountWnd() {
    UnregisterWebView(m_web);
    // The view goes with the window's widget, while this object's members
    // are still whole.
    DestroyHost();
}

const wchar_t* CAccountWnd::WindowName(AccountWindowKind kind) {
    switch (kind) {
        case AccountWindowKind::RegisterLogin:
            return L"CRegisterLoginWnd";
        case AccountWindowKind::QQLogin:
            return L"CQQLoginWnd";
        case AccountWindowKind::WeChatLogin:
            return L"CWeChatLoginWnd";
        case AccountWindowKind::BindCellPhone:
            return L"CBindCellPhoneWnd";
    }
    return L"";
}

bool CAccountWnd::CreateOwned() {
    HWND owner = m_parent != nullptr ? m_parent->GetHWND() : nullptr;
    return Create(owner, WindowName(m_kind), UI_WNDSTYLE_DIALOG, 0) != nullptr;
}

void CAccountWnd::LoadPage(const std::wstring& url) {
    if (m_web.view != nullptr)
        m_web.view->LoadUrl(url);
}

void CAccountWnd::CentreOverParent() {
    HWND self = GetHWND();
    if (self == nullptr)
        return;
    HWND owner = m_parent != nullptr ? m_parent->GetHWND() : nullptr;
    if (owner == nullptr) {
        CenterWindow();
        return;
    }
    const QRect client(owner->mapToGlobal(QPoint(0, 0)), owner->size());
    self->move(notices::CommonDlg::CentredPosition(client, self->size()));
}

QRect CAccountWnd::ViewRect(const QSize& client) const {
    return QRect(1, 30, client.width() - 2, client.height() - 31);
}

void CAccountWnd::InitWindow() {
    // No task-bar button for the account windows.
    SetToolWindow(true);
    const QRect rect = ViewRect(GetClientRect().size());
    if (CreateWebView(m_web, *this, rect.x(), rect.y(), rect.width(), rect.height())) {
        SetWebWindowTitle(m_web, m_webTitle);
        m_web.view->LoadUrl(App().blankPageUrl);
    }
    RegisterWebView(m_web, *this);
}

LRESULT CAccountWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KSOCR_WEBDOCREADY) {
        OnDocumentReady();
        return 0;
    }
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CAccountWnd::OnDocumentReady() {
    if (m_web.view != nullptr)
        m_web.view->Show(true);
}

void CAccountWnd::OnClick(TNotifyUI& msg) {
    if (msg.pSender != nullptr && msg.pSender->GetName() == L"closebtn")
        OnCloseButton();
}

void CAccountWnd::OnFinalMessage(HWND) {
    UnregisterWebView(m_web);
}

void CAccountWnd::HideAndNotifyParent(UINT message) {
    if (m_web.view != nullptr)
        m_web.view->Show(false);
    CWindowWnd* parent = m_parent != nullptr ? m_parent : GetMainWindow();
    if (parent != nullptr)
        parent->PostMessage(message, 0, 0);
}

// ----------------------------------------------------------- the four kinds

CRegisterLoginWnd::CRegisterLoginWnd(CWindowWnd* parent)
    : CAccountWnd(parent, AccountWindowKind::RegisterLogin, L"registerloginwnd.xml",
                  L"RegisterLoginWnd") {}

void CRegisterLoginWnd::InitWindow() {
    m_loading = dynamic_cast<CGifAnimUI*>(m_PaintManager.FindControl(L"loading"));
    if (m_loading != nullptr) {
        const QRect client = GetClientRect();
        // Centred in the area below the caption strip while the page loads.
        m_loading->SetPadding(QMargins(client.width() / 2 - 30, client.height() / 2 - 30, 0, 0));
        m_loading->SetVisible(true);
    }
    CAccountWnd::InitWindow();
}

void CRegisterLoginWnd::OnDocumentReady() {
    if (m_loading != nullptr)
        m_loading->SetVisible(false);
    CAccountWnd::OnDocumentReady();
}

void CRegisterLoginWnd::OnCloseButton() {
    Close(1);
}

CQQLoginWnd::CQQLoginWnd(CWindowWnd* parent)
    : CAccountWnd(parent, AccountWindowKind::QQLogin, L"qqloginwnd.xml", L"QQLoginWnd") {}

QRect CQQLoginWnd::ViewRect(const QSize& client) const {
    return QRect(10, 38, client.width() - 20, client.height() - 48);
}

void CQQLoginWnd::OnCloseButton() {
    HideAndNotifyParent(WM_KSOCR_QQCLOSED);
}

CWeChatLoginWnd::CWeChatLoginWnd(CWindowWnd* parent)
    : CAccountWnd(parent, AccountWindowKind::WeChatLogin, L"wechatloginwnd.xml",
                  L"WeChatLoginWnd") {}

void CWeChatLoginWnd::OnCloseButton() {
    HideAndNotifyParent(WM_KSOCR_WECHATCLOSED);
}

CBindCellPhoneWnd::CBindCellPhoneWnd(CWindowWnd* parent)
    : CAccountWnd(parent, AccountWindowKind::BindCellPhone, L"bindcellphonewnd.xml",
                  L"BindCellPhoneWnd") {}

void CBindCellPhoneWnd::OnCloseButton() {
    HideAndNotifyParent(WM_KSOCR_BINDPHONECLOSED);
}

}  // namespace kelsor::account
