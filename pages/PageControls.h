#pragma once

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

// Shows or hides the control of that name; a missing control is left alone.
void SetControlVisible(ui::CPaintManagerUI& pm, const wchar_t* name, bool visible);

// Sends `message` (no parameters) to the main window, when there is one.
void TellMainWindow(ui::UINT message);

// The main window's handle as the parent of a notice; `fallback` without one.
ui::HWND MainWindowHandle(ui::HWND fallback);

}  // namespace kelsor::jobs
