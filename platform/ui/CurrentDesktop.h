#pragma once

class QWidget;

namespace kelsor::ui {

// Puts the top-level `window` on the workspace the user is on now (X window
// managers with several workspaces): a window that comes back after
// stepping aside (a capture started on another workspace) comes back where
// the user looks. Nothing without X or without workspaces.
void MoveToCurrentDesktop(QWidget* window);

}  // namespace kelsor::ui
