#include "platform/ui/ModalKeyboard.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace kelsor::ui {
namespace {

QWindow* TopLevelWindowWithId(WId id) {
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->handle() != nullptr && window->winId() == id)
            return window;
    }
    return nullptr;
}

}  // namespace

ModalKeyboard::ModalKeyboard(QWidget* modal) : m_modal(modal) {
    QCoreApplication::instance()->installNativeEventFilter(this);
    // Where there is no X (Wayland) the focus change itself says it.
    m_focusChanges = QObject::connect(qApp, &QGuiApplication::focusWindowChanged, modal,
                                      [this](QWindow* focused) {
                                          if (Blocked(focused))
                                              GiveBack();
                                      });
}

ModalKeyboard::~ModalKeyboard() {
    QObject::disconnect(m_focusChanges);
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool ModalKeyboard::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_FOCUS_IN)
        return false;
    const auto* focus = static_cast<const xcb_focus_in_event_t*>(message);
    // Focus moved by a keyboard grab (a menu, the manager's key binding)
    // comes back by itself.
    if (focus->mode == XCB_NOTIFY_MODE_GRAB || focus->mode == XCB_NOTIFY_MODE_UNGRAB)
        return false;
    if (Blocked(TopLevelWindowWithId(focus->event)))
        GiveBack();
    return false;  // Qt handles the event as usual
}

bool ModalKeyboard::Blocked(const QWindow* focused) const {
    QWidget* modal = m_modal.data();
    if (modal == nullptr || focused == nullptr || !modal->isVisible() ||
        QApplication::activeModalWidget() != modal)
        return false;
    const QWindow* window = modal->windowHandle();
    return window != nullptr && focused != window &&
           focused->isAncestorOf(window, QWindow::IncludeTransients);
}

void ModalKeyboard::GiveBack() {
    QTimer::singleShot(0, m_modal.data(), [modal = m_modal] {
        if (modal == nullptr || !modal->isVisible() || modal->windowHandle() == nullptr)
            return;
        modal->raise();
        modal->activateWindow();
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 != nullptr && x11->connection() != nullptr) {
            xcb_set_input_focus(x11->connection(), XCB_INPUT_FOCUS_PARENT,
                                static_cast<xcb_window_t>(modal->winId()), XCB_CURRENT_TIME);
            xcb_flush(x11->connection());
        }
    });
}

}  // namespace kelsor::ui
