#pragma once

// A user's part of a capture as xdotool steps: positions are logical points,
// multiplied by the screen's scale for xdotool, which works in device pixels.
#include <QPoint>
#include <cstdlib>
#include <string>
#include <thread>

namespace kelsor::shelltest {

inline std::string XdoAt(QPoint p, int scale) {
    return std::to_string(p.x() * scale) + " " + std::to_string(p.y() * scale);
}

// A drag from `from` to `to`; `midway` runs while the button is still down.
inline std::string DragSteps(QPoint from, QPoint to, int scale = 1,
                             const std::string& midway = "true") {
    const QPoint mid = (from + to) / 2;
    return "xdotool mousemove " + XdoAt(from, scale) + " mousedown 1 mousemove " +
           XdoAt(mid, scale) + " && sleep 0.2 && xdotool mousemove " + XdoAt(to, scale) +
           " && sleep 0.2 && " + midway + " && xdotool mouseup 1 && sleep 0.3";
}

inline std::string DoubleClickSteps(QPoint p, int scale = 1) {
    return " && xdotool mousemove " + XdoAt(p, scale) + " click --repeat 2 --delay 80 1";
}

// Runs `steps` from their own thread once the capture window is shown, while
// the test's thread serves the capture's loop.
inline std::thread CaptureUser(const std::string& steps) {
    return std::thread([steps] {
        const std::string script =
            "timeout 30 xdotool search --sync --onlyvisible --name '^ScreenShotWnd$' "
            ">/dev/null && sleep 0.3 && " +
            steps;
        std::system(script.c_str());
    });
}

}  // namespace kelsor::shelltest
