#include "pages/PageControls.h"

namespace kelsor::jobs {

void SetControlVisible(ui::CPaintManagerUI& pm, const wchar_t* name, bool visible) {
    if (ui::CControlUI* c = pm.FindControl(name))
        c->SetVisible(visible);
}

}  // namespace kelsor::jobs
