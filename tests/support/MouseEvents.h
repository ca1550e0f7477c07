#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QPoint>
#include <QWidget>

// Left-button mouse events sent straight to a widget, at points in its own
// coordinates (the tests compute them from the widget's geometry).
namespace kelsor::test {

inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint p, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(p), QPointF(widget->mapToGlobal(p)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void PressAt(QWidget* widget, QPoint p) {
    SendMouse(widget, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
}

// A move with the left button held.
inline void MoveTo(QWidget* widget, QPoint p) {
    SendMouse(widget, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
}

// A move with no button held.
inline void HoverAt(QWidget* widget, QPoint p) {
    SendMouse(widget, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
}

inline void ReleaseAt(QWidget* widget, QPoint p) {
    SendMouse(widget, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}

// A press and a release in the middle of the widget.
inline void ClickMiddle(QWidget* widget) {
    const QPoint middle = widget->rect().center();
    PressAt(widget, middle);
    ReleaseAt(widget, middle);
}

}  // namespace kelsor::test
