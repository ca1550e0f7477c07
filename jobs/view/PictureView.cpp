#include "jobs/view/PictureView.h"

#include <QMouseEvent>
#include <QPainter>

namespace kelsor::jobs {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_canvas.SetCanvasSize(size());
    m_canvas.SetFrameHandler([this] { OnFrame(); });
}

PictureView::~PictureView() {
    m_canvas.SetFrameHandler({});
}

void PictureView::SetMoveMode(bool moveMode) {
    m_moveMode = moveMode;
    update();
}

void PictureView::SetSelectionShown(bool shown) {
    m_selectionShown = shown;
    update();
}

bool PictureView::ShowPicture(const std::wstring& path) {
    const bool loaded = m_canvas.LoadPicture(path);
    show();
    PaintPicture();
    return loaded;
}

void PictureView::PaintPicture() {
    m_canvas.Paint(size());
}

void PictureView::ZoomIn() {
    ZoomByWheel(QPoint(0, 0), kZoomButtonDelta);
}

void PictureView::ZoomOut() {
    ZoomByWheel(QPoint(0, 0), -kZoomButtonDelta);
}

void PictureView::ZoomByWheel(QPoint point, int delta) {
    if (m_moveMode) {
        m_canvas.ZoomBy(point, delta);
    }
}

void PictureView::FitToWidth() {
    if (m_moveMode) {
        m_canvas.FitToWidth(size());
    }
}

void PictureView::SetFrameObserver(std::function<void(const CanvasFrame&)> observer) {
    m_frameObserver = std::move(observer);
}

void PictureView::OnFrame() {
    update();
    if (m_frameObserver) {
        m_frameObserver(m_canvas.LatestFrame());
    }
}

void PictureView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const CanvasFrame frame = m_canvas.LatestFrame();
    if (frame.image.isNull()) {
        painter.fillRect(rect(), Qt::white);
    } else {
        painter.drawImage(0, 0, frame.image);
    }
    if (!m_moveMode && m_selectionShown) {
        m_tracker.DrawFrame(painter);
    }
}

void PictureView::resizeEvent(QResizeEvent* event) {
    m_canvas.SetCanvasSize(size());
    QWidget::resizeEvent(event);
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint p = event->position().toPoint();
    if (m_moveMode) {
        if (m_canvas.BeginDrag(p)) {
            setCursor(Qt::PointingHandCursor);
        }
        return;
    }
    const int hit =
        m_tracker.selection.IsAllZero() ? kHitNothing : m_tracker.LocatePoint(p.x(), p.y());
    if (hit == kHitNothing) {
        // A press away from the selection draws a new one from here.
        m_tracker.selection = TrackRect{p.x(), p.y(), p.x(), p.y()};
        m_selectionShown = true;
        m_tracker.TrackDrag(2, this, p.x(), p.y());
    } else {
        m_tracker.TrackDrag(hit, this, p.x(), p.y());
    }
    update();
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (m_moveMode) {
        if (m_canvas.State().dragging) {
            m_canvas.DragTo(p, rect());
            setCursor(Qt::PointingHandCursor);
        }
        return;
    }
    if (m_selectionShown && !m_tracker.selection.IsAllZero()) {
        const int hit = m_tracker.LocatePoint(p.x(), p.y());
        setCursor(hit == kHitNothing ? Qt::ArrowCursor
                                     : TrackerCursorFor(m_tracker.selection, hit));
    } else {
        setCursor(Qt::ArrowCursor);
    }
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_moveMode) {
        m_canvas.EndDrag();
        setCursor(Qt::ArrowCursor);
    }
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* /*event*/) {}

}  // namespace kelsor::jobs
