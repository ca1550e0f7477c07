#include "shell/GlobalHotKey.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <array>
#include <cstdlib>

namespace kelsor::shell {
namespace {

// Caps Lock and Num Lock change the modifier state; grab every combination.
constexpr std::array<std::uint16_t, 4> kLockVariants = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                        XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr std::uint16_t kKeyModifiers = kModCtrl | kModAlt | kModShift | kModSuper;

xcb_connection_t* AppConnection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

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

// Grabs every lock variant; false (with nothing kept) when any is refused.
bool GrabAll(xcb_connection_t* c, xcb_window_t root, std::uint16_t mods, xcb_keycode_t code) {
    bool taken = false;
    for (std::uint16_t locks : kLockVariants) {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(
            c, 1, root, mods | locks, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        // BadAccess: another client holds this combination.
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            std::free(error);
            taken = true;
        }
    }
    if (taken) {
        // Give back whatever part was granted: the key is not ours. An
        // ungrab leaves other clients' grabs alone.
        for (std::uint16_t locks : kLockVariants)
            xcb_ungrab_key(c, code, root, mods | locks);
        xcb_flush(c);
    }
    return !taken;
}

}  // namespace

GlobalHotKey::~GlobalHotKey() {
    Unregister();
}

GlobalHotKey::Result GlobalHotKey::Register(const HotKey& key, std::function<void()> pressed) {
    Unregister();
    m_pressed = std::move(pressed);
    return Change(key);
}

GlobalHotKey::Result GlobalHotKey::Change(const HotKey& key) {
    if (m_grabbed && key == m_key)
        return Result::kRegistered;
    xcb_connection_t* c = AppConnection();
    if (c == nullptr)
        return Result::kNoX11;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (screen == nullptr)
        return Result::kNoX11;
    const xcb_keycode_t keycode = KeycodeOf(c, key.keysym);
    if (keycode == 0)
        return Result::kNoSuchKey;
    const std::uint16_t mods = key.modifiers & kKeyModifiers;
    if (!GrabAll(c, screen->root, mods, keycode))
        return Result::kTaken;
    // The new key is held: give up the old one.
    if (m_grabbed && (keycode != m_keycode || mods != m_modifiers)) {
        for (std::uint16_t locks : kLockVariants)
            xcb_ungrab_key(c, m_keycode, m_root, m_modifiers | locks);
        xcb_flush(c);
    }
    m_connection = c;
    m_root = screen->root;
    m_keycode = keycode;
    m_modifiers = mods;
    m_key = key;
    if (!m_grabbed)
        qGuiApp->installNativeEventFilter(this);
    m_grabbed = true;
    return Result::kRegistered;
}

void GlobalHotKey::Unregister() {
    if (!m_grabbed)
        return;
    m_grabbed = false;
    if (qGuiApp != nullptr)
        qGuiApp->removeNativeEventFilter(this);
    auto* c = static_cast<xcb_connection_t*>(m_connection);
    for (std::uint16_t locks : kLockVariants)
        xcb_ungrab_key(c, m_keycode, m_root, m_modifiers | locks);
    xcb_flush(c);
}

std::uint32_t GlobalHotKey::BaseKeysym(std::uint32_t keycode) {
    xcb_connection_t* c = AppConnection();
    if (c == nullptr || keycode < xcb_get_setup(c)->min_keycode ||
        keycode > xcb_get_setup(c)->max_keycode)
        return 0;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, static_cast<xcb_keycode_t>(keycode), 1), nullptr);
    if (reply == nullptr)
        return 0;
    const std::uint32_t sym = xcb_get_keyboard_mapping_keysyms_length(reply) > 0
                                  ? xcb_get_keyboard_mapping_keysyms(reply)[0]
                                  : 0;
    std::free(reply);
    return sym;
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_grabbed || eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (press->detail != m_keycode || (press->state & kKeyModifiers) != m_modifiers)
        return false;
    if (m_pressed)
        m_pressed();
    return true;
}

}  // namespace kelsor::shell
