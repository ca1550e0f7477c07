#pragma once

namespace kelsor::ui {
class CWindowWnd;
}

namespace kelsor::account {

// Runs a web window modally: shows it, disables its owner while it runs,
// re-enables and focuses the owner afterwards. Returns the window's close
// code (0 when it ended without one).
int RunWebWindowModal(ui::CWindowWnd& window);

}  // namespace kelsor::account
