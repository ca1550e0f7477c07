#include "shell/GlobalHotKey.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <array>
#include <cstdlib>

namespace kelsor::shell {
namespace {

constexpr xcb_keysym_t kKeySym2 = 0x0032;  // XK_2
// Caps Lock and Num Lock change the modifier state; grab every combination.
constexpr std::array<std::uint16_t, 4> kLockVariants = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                        XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

xcb_keycode_t KeycodeOf(xcb_connection_t* c, xcb_keysym_t sym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    if (reply == nullptr)
        return 0;
    xcb_keycode_t found = 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    for (int i = 0; i < count && found == 0; ++i) {
        for (int j = 0; j < perCode; ++j) {
            if (syms[i * perCode + j] == sym) {
                found = static_cast<xcb_keycode_t>(setup->min_keycode + i);
                break;
            }
        }
    }
    std::free(reply);
    return found;
}

}  // namespace

GlobalHotKey::~GlobalHotKey() {
    Unregister();
}

GlobalHotKey::Result GlobalHotKey::RegisterCtrl2(std::function<void()> pressed) {
    Unregister();
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr)
        return Result::kNoX11;
    auto* c = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_keycode_t keycode = KeycodeOf(c, kKeySym2);
    if (screen == nullptr || keycode == 0)
        return Result::kNoX11;

    bool taken = false;
    for (std::uint16_t locks : kLockVariants) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(c, 1, screen->root, XCB_MOD_MASK_CONTROL | locks, keycode,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        // BadAccess: another client holds this combination.
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            std::free(error);
            taken = true;
        }
    }
    m_connection = c;
    m_root = screen->root;
    m_keycode = keycode;
    if (taken) {
        // Give back whatever part was granted: the key is not ours.
        m_grabbed = true;
        Unregister();
        return Result::kTaken;
    }
    m_grabbed = true;
    m_pressed = std::move(pressed);
    qGuiApp->installNativeEventFilter(this);
    return Result::kRegistered;
}

void GlobalHotKey::Unregister() {
    if (!m_grabbed)
        return;
    m_grabbed = false;
    m_pressed = nullptr;
    if (qGuiApp != nullptr)
        qGuiApp->removeNativeEventFilter(this);
    auto* c = static_cast<xcb_connection_t*>(m_connection);
    for (std::uint16_t locks : kLockVariants)
        xcb_ungrab_key(c, m_keycode, m_root, XCB_MOD_MASK_CONTROL | locks);
    xcb_flush(c);
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_grabbed || eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (press->detail != m_keycode || (press->state & XCB_MOD_MASK_CONTROL) == 0)
        return false;
    if (m_pressed)
        m_pressed();
    return true;
}

}  // namespace kelsor::shell
