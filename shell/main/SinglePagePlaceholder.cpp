// Built instead of SinglePageLink.cpp while the jobs subsystem has no single
// page yet: the page's layout in its empty state, without behaviour.
#include "shell/main/SinglePageLink.h"

namespace kelsor::shell::single_page {
namespace {

class SingleOCRWnd : public ui::WindowImplBase {
protected:
    ui::CDuiString GetWindowClassName() const override { return L"SingleOCRWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"singleocrwnd.xml"; }
    void InitWindow() override {
        for (const wchar_t* name : {L"imagetoolbar", L"covertinggif", L"ocrtextarea"}) {
            if (ui::CControlUI* c = m_PaintManager.FindControl(name))
                c->SetVisible(false);
        }
    }
    void OnFinalMessage(ui::HWND) override { delete this; }
};

}  // namespace

ui::CWindowWnd* Create(ui::HWND parent) {
    auto* page = new SingleOCRWnd();
    if (page->Create(parent, L"SingleOCRWnd", ui::UI_WNDSTYLE_CHILD, 0) == nullptr) {
        delete page;
        return nullptr;
    }
    return page;
}

void SetPicture(const std::wstring&) {}
void StartRecognition() {}
std::wstring ResultPath() {
    return {};
}
bool IsMoveMode() {
    return false;
}
void ZoomAt(const QPoint&, int) {}

}  // namespace kelsor::shell::single_page
