#pragma once

#include <QEvent>
#include <QWidget>

namespace kelsor::ui {

// Follows the mouse into and out of `widget`: `hot` says whether it is over
// the widget, which repaints on each change.
inline void TrackHover(QWidget& widget, const QEvent& event, bool& hot) {
    if (event.type() == QEvent::Enter || event.type() == QEvent::Leave) {
        hot = event.type() == QEvent::Enter;
        widget.update();
    }
}

}  // namespace kelsor::ui
