#pragma once

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

// Shows or hides the control of that name; a missing control is left alone.
void SetControlVisible(ui::CPaintManagerUI& pm, const wchar_t* name, bool visible);

// Null-tolerant show/hide and enable/disable of a control.
void ShowControl(ui::CControlUI* control, bool visible);
void EnableControl(ui::CControlUI* control, bool enabled);

// Sends a page message (wParam 0, lParam 0) to the main window, if there is
// one.
void SendPageMessage(ui::UINT message);

}  // namespace kelsor::jobs
