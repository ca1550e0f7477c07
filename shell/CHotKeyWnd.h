#pragma once

#include <QKeyEvent>
#include <functional>
#include <optional>

#include "platform/ui/UiLib.h"
#include "shell/GlobalHotKey.h"

// The capture key window of the main menu: shows the key in use, records
// the next key combination pressed in it, and on 确定 asks for the new key
// and remembers it in the settings file once it is held. A combination
// without ctrl, alt or super, or a key another program holds, is refused
// with a line in the window, and the key in use stays.
namespace kelsor::shell {

class CHotKeyWnd : public ui::WindowImplBase {
public:
    using Grab = std::function<GlobalHotKey::Result(const HotKey&)>;

    // `grab` tries to take the new key in place of `current`.
    CHotKeyWnd(const HotKey& current, Grab grab) : m_current(current), m_grab(std::move(grab)) {}

    const HotKey& Current() const { return m_current; }
    // Where the desktop owns the keys (Wayland): the window names `command`
    // for the desktop's keyboard settings and puts it on the clipboard. Set
    // before Create.
    void ShowDesktopCommand(const std::wstring& command) { m_desktopCommand = command; }

    // Texts of the window's tip line.
    static std::wstring NoModifierText();
    static std::wstring UnknownKeyText();
    static std::wstring TakenText(const HotKey& key);
    static std::wstring NoX11Text();
    static std::wstring NotSavedText();
    static std::wstring DesktopCommandHint();
    static std::wstring DesktopCommandText(const std::wstring& command);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"HotKeyWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"hotkeywnd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    bool HostEvent(QEvent* event) override;

private:
    void Record(const QKeyEvent& event);
    void Apply();
    void ShowKey(const HotKey& key, bool recorded);
    void SetTip(const std::wstring& text);

    HotKey m_current;
    Grab m_grab;
    std::optional<HotKey> m_recorded;
    std::wstring m_desktopCommand;
    ui::CLabelUI* m_field = nullptr;
    ui::CLabelUI* m_tip = nullptr;
};

}  // namespace kelsor::shell
