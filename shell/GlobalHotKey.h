#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

// The program-wide hot key Ctrl+2: an X key grab on the root window of the
// application's X connection. Only one client can hold a grab, so a key that
// another program holds is refused (BadAccess), as is a session without X.
namespace kelsor::shell {

class GlobalHotKey : public QAbstractNativeEventFilter {
public:
    enum class Result {
        kRegistered,
        kTaken,  // another client holds the grab
        kNoX11,  // no X connection (Wayland without X, offscreen)
    };

    GlobalHotKey() = default;
    ~GlobalHotKey() override;
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Grabs Ctrl+2 (also with Caps Lock or Num Lock on); `pressed` runs on the
    // UI thread at each press. Needs the QApplication.
    Result RegisterCtrl2(std::function<void()> pressed);
    void Unregister();
    bool IsRegistered() const { return m_grabbed; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void* m_connection = nullptr;  // xcb_connection_t of the application
    std::uint32_t m_root = 0;
    std::uint8_t m_keycode = 0;
    bool m_grabbed = false;
    std::function<void()> m_pressed;
};

}  // namespace kelsor::shell
