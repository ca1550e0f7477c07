#include "account/windows/AccountWindows.h"

#include <QWidget>
#include <array>
#include <memory>

#include "account/windows/AccountWnd.h"
#include "account/windows/WebWindowModal.h"
#include "app/AppContext.h"
#include "platform/sys/Messages.h"
#include "platform/ui/MainWindowRef.h"

namespace kelsor::account {
namespace {

std::array<CAccountWnd*, 4> g_open{};

CAccountWnd*& Reference(AccountWindowKind kind) {
    return g_open[static_cast<std::size_t>(kind)];
}

bool IsOpen(const CAccountWnd* window) {
    // A window that has been closed but whose modal run has not returned yet
    // no longer counts.
    return window != nullptr && window->GetHWND() != nullptr;
}

int RunAccountWindow(std::unique_ptr<CAccountWnd> window, const std::wstring& url) {
    CAccountWnd*& reference = Reference(window->Kind());
    if (IsOpen(reference)) {
        reference->ShowWindow(true, true);
        return 0;
    }
    if (!window->CreateOwned())
        return 0;
    CAccountWnd* self = window.get();
    reference = self;
    window->LoadPage(url);
    window->CentreOverParent();
    const int code = RunWebWindowModal(*window);
    // A nested run may have put a newer window of this kind in the reference.
    if (Reference(self->Kind()) == self)
        Reference(self->Kind()) = nullptr;
    return code;
}

// Stands in for a main window that does not implement the port itself.
class MessagePort : public AccountWindowPort {
public:
    void ShowSignedIn(const std::wstring&, int) override {}
    void ShowSignedOut() override {}
    void SendMessage(WindowMessage message) override {
        if (ui::CWindowWnd* main = ui::GetMainWindow())
            main->SendMessage(message, 0, 0);
    }
    void PostMessage(WindowMessage message) override {
        if (ui::CWindowWnd* main = ui::GetMainWindow())
            main->PostMessage(message, 0, 0);
    }
    void CloseAccountWindow(AccountWindowKind kind) override { account::CloseAccountWindow(kind); }
};

}  // namespace

int OpenRegisterLoginWindow(ui::CWindowWnd* owner) {
    return RunAccountWindow(std::make_unique<CRegisterLoginWnd>(owner), App().loginPageUrl);
}

int OpenQQLoginWindow(ui::CWindowWnd* owner, const std::wstring& url) {
    return RunAccountWindow(std::make_unique<CQQLoginWnd>(owner), url);
}

int OpenWeChatLoginWindow(ui::CWindowWnd* owner, const std::wstring& url) {
    return RunAccountWindow(std::make_unique<CWeChatLoginWnd>(owner), url);
}

int OpenBindCellPhoneWindow(ui::CWindowWnd* owner) {
    return RunAccountWindow(std::make_unique<CBindCellPhoneWnd>(owner),
                            App().bindPhoneTargetUrl.get());
}

void CloseAccountWindow(AccountWindowKind kind) {
    CAccountWnd* window = Reference(kind);
    if (IsOpen(window))
        window->Close(1);
}

CAccountWnd* FindAccountWindow(AccountWindowKind kind) {
    CAccountWnd* window = Reference(kind);
    return IsOpen(window) ? window : nullptr;
}

AccountWindowPort& MainWindowPort() {
    if (auto* port = dynamic_cast<AccountWindowPort*>(ui::GetMainWindow()))
        return *port;
    static MessagePort fallback;
    return fallback;
}

}  // namespace kelsor::account
