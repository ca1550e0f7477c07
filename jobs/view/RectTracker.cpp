#include "jobs/view/RectTracker.h"

#include <QColor>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace kelsor::jobs {
namespace {

// Takes over the thread's event stream while a drag runs: the owner's mouse
// moves and the ending button-up are consumed here, key presses other than
// Esc are dropped, everything else goes on to its receiver.
class TrackLoop : public QObject {
public:
    TrackLoop(RectTrackerBase& tracker, QWidget* window, const DragPlan& plan, bool grabbed)
        : m_tracker(tracker), m_window(window), m_plan(plan), m_grabbed(grabbed) {}

    bool Run() {
        qApp->installEventFilter(this);
        m_loop.exec();
        qApp->removeEventFilter(this);
        return m_moved;
    }

    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (m_done) {
            return false;
        }
        if (m_window.isNull() || (m_grabbed && QWidget::mouseGrabber() != m_window.data())) {
            Finish();  // the window lost the mouse capture
            return false;
        }
        switch (event->type()) {
            case QEvent::ShortcutOverride:
                // No shortcut may fire while dragging.
                event->accept();
                return true;
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                    Restore();
                }
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
                    Restore();
                    return true;
                }
                return false;
            case QEvent::MouseMove:
                Track(static_cast<QMouseEvent*>(event), false);
                return true;
            case QEvent::MouseButtonRelease:
                if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
                    return false;
                }
                m_tracker.OnButtonReleased();
                Track(static_cast<QMouseEvent*>(event), true);
                return true;
            case QEvent::WindowDeactivate:
                // A compositor may move the focus under a held button; the
                // release still comes to the pressed window.
                if (!m_grabbed) {
                    return false;
                }
                [[fallthrough]];
            case QEvent::Hide:
                if (receiver == m_window.data() || receiver == m_window->window()) {
                    Finish();
                }
                return false;
            default:
                return false;
        }
    }

private:
    void Track(QMouseEvent* event, bool buttonUp) {
        const QPoint p = m_window->mapFromGlobal(event->globalPosition()).toPoint();
        // The message carries signed 16-bit coordinates.
        const int x = static_cast<qint16>(p.x());
        const int y = static_cast<qint16>(p.y());
        const TrackRect before = m_tracker.selection;
        TrackRect rect = ApplyDrag(m_plan, before, x, y);
        m_tracker.EnforceMinimumSize(m_plan.hit, rect);
        if ((!(rect == before) || buttonUp) && !m_tracker.bounds.IsAllZero()) {
            ShiftIntoBounds(rect, m_tracker.bounds);
        }
        if (!(rect == before) && !buttonUp) {
            m_moved = true;
        }
        m_tracker.selection = rect;
        m_window->update();
        if (buttonUp) {
            m_tracker.finishing = true;
            Finish();
        }
    }

    void Restore() {
        m_tracker.selection = m_plan.start;
        m_moved = false;
        if (!m_window.isNull()) {
            m_window->update();
        }
        Finish();
    }

    void Finish() {
        m_done = true;
        m_loop.quit();
    }

    RectTrackerBase& m_tracker;
    QPointer<QWidget> m_window;
    DragPlan m_plan;
    QEventLoop m_loop;
    bool m_grabbed = true;
    bool m_moved = false;
    bool m_done = false;
};

}  // namespace

QColor TrackerColor() {
    return QColor(46, 115, 228);
}

int TrackerHandleSize() {
    // Read once for the process, like the other class-wide resources.
    static const int size = 4;
    return size;
}

Qt::CursorShape TrackerCursorFor(const TrackRect& selection, int hit) {
    static constexpr Qt::CursorShape kCursors[] = {
        Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeFDiagCursor,
        Qt::SizeBDiagCursor, Qt::SizeVerCursor,   Qt::SizeHorCursor,
        Qt::SizeVerCursor,   Qt::SizeHorCursor,   Qt::SizeAllCursor};
    if (hit < 0 || hit > kHitInside) {
        return Qt::ArrowCursor;
    }
    return kCursors[hit == kHitInside ? hit : MapInvertedHandle(selection, hit)];
}

RectTrackerBase::RectTrackerBase()
    : minWidth(2 * TrackerHandleSize()),
      minHeight(2 * TrackerHandleSize()),
      handleSize(TrackerHandleSize()) {}

int RectTrackerBase::HandleExtent() const {
    return HandleExtent(selection);
}

int RectTrackerBase::HandleExtent(const TrackRect& rect) const {
    return jobs::HandleExtent(rect, handleSize);
}

unsigned RectTrackerBase::VisibleHandleMask() const {
    return jobs::VisibleHandleMask(selection, handleSize);
}

void RectTrackerBase::EnforceMinimumSize(int handle, TrackRect& rect) const {
    jobs::EnforceMinimumSize(handle, rect, minWidth, minHeight);
}

TrackRect RectTrackerBase::HandleBox(int handle) const {
    return jobs::HandleBox(selection, handle, handleSize);
}

int RectTrackerBase::LocatePoint(int x, int y) const {
    return jobs::LocatePoint(selection, handleSize, x, y);
}

void RectTrackerBase::DrawFrame(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const TrackRect n = NormalizedRect(selection);
    // A one-pixel outline covering left-1 .. right and top-1 .. bottom.
    QPen pen(TrackerColor());
    pen.setWidth(0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(n.left - 1, n.top - 1, n.right - n.left + 1, n.bottom - n.top + 1);
    const unsigned mask = VisibleHandleMask();
    for (int handle = 0; handle < kHandleCount; ++handle) {
        if (mask & (1u << handle)) {
            const TrackRect box = HandleBox(handle);
            painter.fillRect(box.left, box.top, box.Width(), box.Height(), TrackerColor());
        }
    }
    painter.restore();
}

bool RectTrackerBase::ApplyCursor(QWidget* window) const {
    const QPoint p = window->mapFromGlobal(QCursor::pos());
    const int hit = LocatePoint(p.x(), p.y());
    if (hit == kHitNothing) {
        return false;
    }
    window->setCursor(TrackerCursorFor(selection, hit));
    return true;
}

bool RectTrackerBase::TrackDrag(int hit, QWidget* window, int x, int y) {
    // A hidden window would never see the button-up that ends the loop.
    if (window == nullptr || !window->isVisible() || QWidget::mouseGrabber() != nullptr) {
        return false;
    }
    const DragPlan plan = PlanDrag(hit, selection, x, y);
    // A Wayland client may grab only for popups; while the button is held
    // the compositor sends the pointer to the pressed window anyway.
    const bool implicitGrab = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (!implicitGrab) {
        window->grabMouse();
        if (QWidget::mouseGrabber() != window) {
            return false;  // e.g. a hidden window cannot take the capture
        }
    }
    TrackLoop loop(*this, window, plan, !implicitGrab);
    const bool moved = loop.Run();
    if (QWidget::mouseGrabber() == window) {
        window->releaseMouse();
    }
    if (!moved) {
        selection = plan.start;
    }
    finishing = false;
    return !(selection == plan.start);
}

CViewRectTracker::CViewRectTracker() = default;

CXRectTracker::CXRectTracker() : released(false) {}

}  // namespace kelsor::jobs
