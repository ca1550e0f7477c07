#pragma once

#include <QEvent>
#include <functional>
#include <string>
#include <vector>

// Files dropped on a window from the desktop's file manager.
namespace kelsor::ui {

// Handles the drag-and-drop events of a window's HostEvent: a drag that
// carries file addresses is accepted, and a drop hands the local paths to
// `dropped`. True when `event` was one of them and is consumed.
bool HandleFileDrop(QEvent* event, const std::function<void(std::vector<std::wstring>)>& dropped);

}  // namespace kelsor::ui
