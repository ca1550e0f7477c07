#pragma once

#include <QImage>
#include <QRect>
#include <functional>
#include <string>

// The still picture of the primary screen that a capture works on.
namespace kelsor::jobs {

struct ScreenGrab {
    // Device pixels, with the screen's device pixel ratio set on the image.
    QImage image;
    // The screen's logical geometry on the desktop (need not start at 0, 0).
    QRect geometry;
    // Why there is no image, for the user; empty when nothing needs saying.
    std::wstring failure = {};
};

// Empty when a grab can be tried; otherwise one line saying why there is no
// screen to grab (e.g. no X server). A Wayland session always tries: its
// desktop portal says itself whether it takes the picture.
std::string ScreenGrabUnavailable();

// The primary screen now: an X grab, or the desktop portal in a Wayland
// session. A null image when it cannot be read.
ScreenGrab GrabPrimaryScreen();

// Test seam: a grabber replaces the screen (process-wide); an empty one
// restores it.
using ScreenGrabber = std::function<ScreenGrab()>;
void SetScreenGrabber(ScreenGrabber grabber);

}  // namespace kelsor::jobs
