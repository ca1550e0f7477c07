#include "platform/ui/CurrentDesktop.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace kelsor::ui {
namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::optional<std::uint32_t> CurrentDesktop(xcb_connection_t* c, xcb_window_t root,
                                            xcb_atom_t current) {
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, current, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    std::optional<std::uint32_t> desktop;
    if (reply != nullptr && xcb_get_property_value_length(reply) >= 4)
        desktop = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return desktop;
}

}  // namespace

void MoveToCurrentDesktop(QWidget* window) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (window == nullptr || !window->isWindow() || x11 == nullptr ||
        x11->connection() == nullptr || window->windowHandle() == nullptr)
        return;
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto desktop = CurrentDesktop(c, root, Atom(c, "_NET_CURRENT_DESKTOP"));
    if (!desktop)
        return;  // a manager without workspaces
    const xcb_atom_t wmDesktop = Atom(c, "_NET_WM_DESKTOP");
    const auto id = static_cast<xcb_window_t>(window->winId());
    // Read by the manager when the window is mapped again...
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, wmDesktop, XCB_ATOM_CARDINAL, 32, 1,
                        &*desktop);
    // ...and asked of it for a window it manages now.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = wmDesktop;
    message.data.data32[0] = *desktop;
    message.data.data32[1] = 2;  // from a pager-like request: the user's own wish
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

}  // namespace kelsor::ui
