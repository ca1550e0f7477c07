#pragma once

namespace kelsor::ui {

class CWindowWnd;

// The process-wide reference to the main window: pages, account windows and
// workers reach it through this to send their messages. Set by the main
// window when it is created, cleared when it is gone; null before and after.
CWindowWnd* GetMainWindow();
void SetMainWindow(CWindowWnd* window);

}  // namespace kelsor::ui
