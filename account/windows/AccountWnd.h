#pragma once
// The four account windows: a skinned window with a caption strip and a close
// button, the rest a web view showing one page of the account service.

#include <QRect>
#include <string>

#include "account/AccountWindowPort.h"
#include "account/windows/WebWindow.h"
#include "platform/ui/UiLib.h"

namespace kelsor::account {

class CAccountWnd : public ui::WindowImplBase {
public:
    ~CAccountWnd() override;

    AccountWindowKind Kind() const { return m_kind; }
    WebWindow& Web() { return m_web; }
    ui::CWindowWnd* Parent() const { return m_parent; }

    // Creates the window owned by the parent, style 0x96C80000, the skin's
    // size; the class's own name as window name.
    bool CreateOwned();
    // Replaces the blank page (skipped without a view).
    void LoadPage(const std::wstring& url);
    // Centres over the parent's client area (the screen without a parent).
    void CentreOverParent();

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    // Window names: the classes' own names.
    static const wchar_t* WindowName(AccountWindowKind kind);

protected:
    CAccountWnd(ui::CWindowWnd* parent, AccountWindowKind kind, std::wstring skinFile,
                std::wstring webTitle);

    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return m_skinFile; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    void OnFinalMessage(ui::HWND hwnd) override;

    // The web view's rectangle for a client area of `client` size.
    virtual QRect ViewRect(const QSize& client) const;
    // The page has loaded (message 2126).
    virtual void OnDocumentReady();
    virtual void OnCloseButton() = 0;

    // The third-party and bind-phone windows: hide the page at once and let
    // the main window close the window.
    void HideAndNotifyParent(ui::UINT message);

    WebWindow m_web;
    ui::CWindowWnd* m_parent;

private:
    AccountWindowKind m_kind;
    std::wstring m_skinFile;
    std::wstring m_webTitle;
};

class CRegisterLoginWnd : public CAccountWnd {
public:
    explicit CRegisterLoginWnd(ui::CWindowWnd* parent);
    ui::CGifAnimUI* Loading() const { return m_loading; }

protected:
    ui::CDuiString GetWindowClassName() const override { return L"注册登录页面"; }
    void InitWindow() override;
    void OnDocumentReady() override;
    void OnCloseButton() override;

private:
    ui::CGifAnimUI* m_loading = nullptr;
};

class CQQLoginWnd : public CAccountWnd {
public:
    explicit CQQLoginWnd(ui::CWindowWnd* parent);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"QQ登陆页面"; }
    QRect ViewRect(const QSize& client) const override;
    void OnCloseButton() override;
};

class CWeChatLoginWnd : public CAccountWnd {
public:
    explicit CWeChatLoginWnd(ui::CWindowWnd* parent);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"微信登陆页面"; }
    void OnCloseButton() override;
};

class CBindCellPhoneWnd : public CAccountWnd {
public:
    explicit CBindCellPhoneWnd(ui::CWindowWnd* parent);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"绑定手机页面"; }
    void OnCloseButton() override;
};

}  // namespace kelsor::account
