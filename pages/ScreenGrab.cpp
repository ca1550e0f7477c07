#include "pages/ScreenGrab.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "pages/ScreenGrabPortal.h"

namespace kelsor::jobs {
namespace {

ScreenGrabber& Grabber() {
    static ScreenGrabber grabber;
    return grabber;
}

}  // namespace

void SetScreenGrabber(ScreenGrabber grabber) {
    Grabber() = std::move(grabber);
}

std::string ScreenGrabUnavailable() {
    if (Grabber() || IsWaylandSession()) {
        return {};
    }
    // Elsewhere only X lets one client read the whole screen; the offscreen
    // platform has nothing to grab.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb")) {
        return "screen capture needs an X server; the window system is \"" +
               platform.toStdString() + "\"";
    }
    if (QGuiApplication::primaryScreen() == nullptr) {
        return "screen capture: there is no primary screen";
    }
    return {};
}

ScreenGrab GrabPrimaryScreen() {
    if (Grabber()) {
        return Grabber()();
    }
    if (IsWaylandSession()) {
        return GrabThroughPortal(QDBusConnection::sessionBus());
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    const QPixmap shot = screen->grabWindow(0);
    ScreenGrab grab;
    grab.geometry = screen->geometry();
    if (!shot.isNull()) {
        grab.image = shot.toImage().convertToFormat(QImage::Format_RGB32);
        grab.image.setDevicePixelRatio(shot.devicePixelRatio());
    }
    return grab;
}

}  // namespace kelsor::jobs
