#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

#include "shell/HotKey.h"

// The program-wide capture key (Ctrl+2 unless the user chose another): an X
// key grab on the root window of the application's X connection. Only one
// client can hold a grab, so a key that another program holds is refused
// (BadAccess), as is a session without X.
namespace kelsor::shell {

class GlobalHotKey : public QAbstractNativeEventFilter {
public:
    enum class Result {
        kRegistered,
        kTaken,      // another client holds the grab
        kNoX11,      // no X connection (Wayland without X, offscreen)
        kNoSuchKey,  // the keyboard has no key for the keysym
    };

    GlobalHotKey() = default;
    ~GlobalHotKey() override;
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Grabs `key` (also with Caps Lock or Num Lock on); `pressed` runs on the
    // UI thread at each press. Needs the QApplication.
    Result Register(const HotKey& key, std::function<void()> pressed);
    // Grabs `key` in place of the key held now, which stays held when the
    // new one cannot be had. `pressed` of the last Register stays.
    Result Change(const HotKey& key);
    void Unregister();
    bool IsRegistered() const { return m_grabbed; }

    // The keysym of the unshifted level of an X key code (what a key press
    // reports as its native scan code); 0 without X.
    static std::uint32_t BaseKeysym(std::uint32_t keycode);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void* m_connection = nullptr;  // xcb_connection_t of the application
    std::uint32_t m_root = 0;
    std::uint8_t m_keycode = 0;
    std::uint16_t m_modifiers = 0;
    HotKey m_key;
    bool m_grabbed = false;
    std::function<void()> m_pressed;
};

}  // namespace kelsor::shell
