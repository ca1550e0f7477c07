#include "shell/CHotKeyWnd.h"

#include <QClipboard>
#include <QGuiApplication>

#include "app/AppContext.h"
#include "notices/CommonDlg.h"
#include "platform/ui/Controls.h"

namespace kelsor::shell {

using namespace kelsor::ui;

namespace {

std::uint16_t ModifiersOf(Qt::KeyboardModifiers m) {
    std::uint16_t out = 0;
    out |= (m & Qt::ControlModifier) ? kModCtrl : 0;
    out |= (m & Qt::AltModifier) ? kModAlt : 0;
    out |= (m & Qt::ShiftModifier) ? kModShift : 0;
    out |= (m & Qt::MetaModifier) ? kModSuper : 0;
    return out;
}

bool IsModifierKey(int key) {
    return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_Super_L || key == Qt::Key_Super_R ||
           key == Qt::Key_AltGr || key == Qt::Key_CapsLock || key == Qt::Key_NumLock;
}

// The key without Shift's symbol: on X the key code's first level (Shift+2
// is "2", not "@"), elsewhere Qt's key code.
std::uint32_t KeysymOf(const QKeyEvent& event) {
    const std::uint32_t base = GlobalHotKey::BaseKeysym(event.nativeScanCode());
    if (IsKnownKeysym(base))
        return base;
    return KeysymOfQtKey(event.key());
}

}  // namespace

std::wstring CHotKeyWnd::NoModifierText() {
    return L"快捷键须含 ctrl、alt 或 super 键！";
}

std::wstring CHotKeyWnd::UnknownKeyText() {
    return L"不支持该按键，请换一个！";
}

std::wstring CHotKeyWnd::TakenText(const HotKey& key) {
    return notices::notice::HotKeyTakenText(HotKeyName(key));
}

std::wstring CHotKeyWnd::NotSavedText() {
    return L"已启用，但无法写入 config.ini，下次启动不再生效！";
}

std::wstring CHotKeyWnd::DesktopCommandHint() {
    return L"请在桌面的键盘设置中为下面的命令设快捷键";
}

std::wstring CHotKeyWnd::DesktopCommandText(const std::wstring& command) {
    return command + L"（已复制）";
}

std::wstring CHotKeyWnd::NoX11Text() {
    return L"没有 X 服务器，无法使用快捷键！";
}

void CHotKeyWnd::InitWindow() {
    m_field = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"hotkeyfield"));
    m_tip = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"hotkeytip"));
    ShowKey(m_current, false);
    if (!m_desktopCommand.empty()) {
        if (auto* hint = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"hotkeyhint")))
            hint->SetText(DesktopCommandHint());
        SetTip(DesktopCommandText(m_desktopCommand));
        QGuiApplication::clipboard()->setText(QString::fromStdWString(m_desktopCommand));
    }
}

void CHotKeyWnd::ShowKey(const HotKey& key, bool recorded) {
    if (m_field == nullptr)
        return;
    m_field->SetText(HotKeyName(key));
    // The recorded key sits in the accent frame until it is used or refused.
    m_field->SetAttribute(L"bkimage", recorded
                                          ? L"file='global\\hotkeyField.png' source='260,0,520,36'"
                                          : L"file='global\\hotkeyField.png' source='0,0,260,36'");
    m_field->SetAttribute(L"textcolor", recorded ? L"#FF4399FD" : L"#FF333333");
}

void CHotKeyWnd::SetTip(const std::wstring& text) {
    if (m_tip != nullptr)
        m_tip->SetText(text);
}

bool CHotKeyWnd::HostEvent(QEvent* event) {
    // The window records keys only with the keyboard focus: take it when
    // shown, also where no window manager hands it over.
    if (event->type() == QEvent::Show && GetHWND() != nullptr && GetHWND()->isWindow())
        GetHWND()->activateWindow();
    // Every key goes to the recorder: Tab and Enter are keys like others here.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    Record(*static_cast<QKeyEvent*>(event));
    return true;
}

void CHotKeyWnd::Record(const QKeyEvent& event) {
    if (event.isAutoRepeat() || IsModifierKey(event.key()))
        return;
    const HotKey key{ModifiersOf(event.modifiers()), KeysymOf(event)};
    if (event.key() == Qt::Key_Escape && key.modifiers == 0) {
        Close(0);
        return;
    }
    if (!HasRequiredModifier(key)) {
        SetTip(NoModifierText());
        return;
    }
    if (!IsKnownKeysym(key.keysym)) {
        SetTip(UnknownKeyText());
        return;
    }
    m_recorded = key;
    ShowKey(key, true);
    SetTip(L"");
}

void CHotKeyWnd::Apply() {
    // A recorded key equal to the one in use is asked for again: it may have
    // been refused at start.
    if (!m_recorded) {
        Close(1);
        return;
    }
    const HotKey wanted = *m_recorded;
    m_recorded.reset();
    switch (m_grab ? m_grab(wanted) : GlobalHotKey::Result::kNoX11) {
        case GlobalHotKey::Result::kRegistered:
            m_current = wanted;
            if (SaveHotKey(App().configPath, wanted)) {
                Close(1);
                return;
            }
            SetTip(NotSavedText());  // in use now, but only for this run
            break;
        case GlobalHotKey::Result::kTaken:
            SetTip(TakenText(wanted));
            break;
        case GlobalHotKey::Result::kNoSuchKey:
            SetTip(UnknownKeyText());
            break;
        case GlobalHotKey::Result::kNoX11:
            SetTip(NoX11Text());
            break;
    }
    ShowKey(m_current, false);  // the key in use stays
}

void CHotKeyWnd::OnClick(TNotifyUI& msg) {
    const CDuiString name = msg.pSender != nullptr ? msg.pSender->GetName() : L"";
    if (name == L"hotkeyconfirmbtn")
        Apply();
    else if (name == L"hotkeycancelbtn" || name == L"hotkeyclosebtn")
        Close(0);
}

}  // namespace kelsor::shell
