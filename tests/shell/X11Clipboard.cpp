#include "X11Clipboard.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace kelsor::shelltest {
namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

xcb_window_t SmallWindow(xcb_connection_t* c) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
    return window;
}

std::string TakeProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20),
        nullptr);
    std::string text;
    if (reply != nullptr) {
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<size_t>(xcb_get_property_value_length(reply)));
    }
    std::free(reply);
    return text;
}

// Asks the CLIPBOARD owner for UTF-8 text into `window`, waiting up to ten
// seconds.
std::optional<std::string> ConvertClipboard(xcb_connection_t* c, xcb_window_t window,
                                            const std::function<void()>& pump) {
    const xcb_atom_t clipboard = Atom(c, "CLIPBOARD");
    const xcb_atom_t property = Atom(c, "KELSOR_TEST_CLIP");
    xcb_convert_selection(c, window, clipboard, Atom(c, "UTF8_STRING"), property, XCB_CURRENT_TIME);
    xcb_flush(c);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(c),
                                                                         &std::free);
        if (!event) {
            if (pump)
                pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_SELECTION_NOTIFY) {
            auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event.get());
            if (notify->property == XCB_ATOM_NONE)
                return std::nullopt;
            return TakeProperty(c, window, property);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadX11Clipboard(const std::function<void()>& pump) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return std::nullopt;
    }
    const xcb_window_t window = SmallWindow(c);
    std::optional<std::string> text = ConvertClipboard(c, window, pump);
    xcb_disconnect(c);
    return text;
}

}  // namespace kelsor::shelltest
