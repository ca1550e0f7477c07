#pragma once

// Everything a window class needs from the UI layer.
//
// A window names its class and skin file and reacts to notifications:
//
//   class CommonDlg : public ui::WindowImplBase {
//       ui::CDuiString GetWindowClassName() const override { return L"CommonDlg"; }
//       ui::CDuiString GetSkinFolder() override { return L""; }
//       ui::CDuiString GetSkinFile() override { return L"commondlg.xml"; }
//       void InitWindow() override;              // find controls by name
//       void OnClick(ui::TNotifyUI& msg) override;  // "click", by sender name
//   };
//   dlg.Create(parent, L"CommonDlg", ui::UI_WNDSTYLE_DIALOG, 0);
//   int code = dlg.ShowModal();
//
// Custom messages arrive in HandleMessage; raw Qt events of the window's
// widget (paint, mouse, drops) in HostEvent. Modal windows and pickers answer
// from ModalSeam / FileDialog in tests.
#include "platform/ui/Containers.h"
#include "platform/ui/Controls.h"
#include "platform/ui/DialogBuilder.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/NotifyPump.h"
#include "platform/ui/PaintManager.h"
#include "platform/ui/UiTypes.h"
#include "platform/ui/Widgets.h"
#include "platform/ui/WindowImplBase.h"
