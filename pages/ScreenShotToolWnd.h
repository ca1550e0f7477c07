#pragma once

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

// The small toolbar under a capture's selection: "退出截图" sends 2139
// (cancel) and "完成截图" 2140 (finish) to the capture window that owns it.
// It floats above the capture window and never takes the focus from it;
// `embedded`, it is a child of the capture window instead (a Wayland client
// cannot place a window of its own, but can place a child).
class ScreenShotToolWnd : public ui::WindowImplBase {
public:
    ScreenShotToolWnd(ui::CWindowWnd& owner, bool embedded)
        : m_owner(owner), m_embedded(embedded) {}
    bool Embedded() const { return m_embedded; }

protected:
    ui::CDuiString GetWindowClassName() const override { return L"ScreenShotToolWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"screenshottoolwnd.xml"; }
    ui::LRESULT OnCreate() override;
    void OnClick(ui::TNotifyUI& msg) override;

private:
    ui::CWindowWnd& m_owner;
    bool m_embedded = false;
};

}  // namespace kelsor::jobs
