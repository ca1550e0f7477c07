#pragma once

#include <QPoint>
#include <string>

#include "platform/ui/UiLib.h"

// What the main window asks of the single-picture page. The page lives in
// the jobs subsystem; this keeps the main window to these few operations.
namespace kelsor::shell::single_page {

// Creates the page as the child window "SingleOCRWnd" of `parent` (hidden);
// null when it could not be made.
ui::CWindowWnd* Create(ui::HWND parent);
// The operations below do nothing while no page exists.
void SetPicture(const std::wstring& path);
void StartRecognition();
// The ".txt" file of the last recognition; empty before the first.
std::wstring ResultPath();
bool IsMoveMode();
void ZoomAt(const QPoint& pointInPage, int wheelDelta);

}  // namespace kelsor::shell::single_page
