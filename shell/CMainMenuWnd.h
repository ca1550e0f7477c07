#pragma once

#include <QPoint>
#include <functional>

#include "platform/ui/UiLib.h"

// The main menu popup under the main window's menu button: check for
// updates, the product site, the about page, the capture key, the option
// to copy the text of each screen recognition, the switch for reading QR
// codes and barcodes, the history window and the option to keep
// recognitions in it (the options remembered in the settings file).
// Created once, hidden; hides
// itself on every click and whenever it loses the focus.
namespace kelsor::shell {

class CMainMenuWnd : public ui::WindowImplBase {
public:
    CMainMenuWnd() = default;

    // Moves the menu's top-left corner to `screenPos` (size and stacking
    // unchanged), shows it and gives it the focus.
    void ShowAt(const QPoint& screenPos);

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    // What 设置快捷键 runs, after the menu has closed.
    void SetHotKeyAction(std::function<void()> action) { m_hotKeyAction = std::move(action); }

protected:
    ui::CDuiString GetWindowClassName() const override { return L"MainMenuWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"mainmenuwnd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    void OnSelectChanged(ui::TNotifyUI& msg) override;
    void OnFinalMessage(ui::HWND) override { delete this; }

private:
    std::function<void()> m_hotKeyAction;
};

}  // namespace kelsor::shell
