#include "pages/PageControls.h"

#include "platform/ui/MainWindowRef.h"

namespace kelsor::jobs {

void SetControlVisible(ui::CPaintManagerUI& pm, const wchar_t* name, bool visible) {
    if (ui::CControlUI* c = pm.FindControl(name))
        c->SetVisible(visible);
}

void ShowControl(ui::CControlUI* control, bool visible) {
    if (control != nullptr)
        control->SetVisible(visible);
}

void EnableControl(ui::CControlUI* control, bool enabled) {
    if (control != nullptr)
        control->SetEnabled(enabled);
}

void SendPageMessage(ui::UINT message) {
    if (ui::CWindowWnd* main = ui::GetMainWindow())
        main->SendMessage(message, 0, 0);
}

}  // namespace kelsor::jobs
