#pragma once

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

// Shows or hides the control of that name; a missing control is left alone.
void SetControlVisible(ui::CPaintManagerUI& pm, const wchar_t* name, bool visible);

}  // namespace kelsor::jobs
