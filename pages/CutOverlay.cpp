#include "pages/CutOverlay.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "jobs/view/RectTracker.h"

namespace kelsor::jobs {

std::vector<QRect> DimBands(QSize area, const TrackRect& selection) {
    const int w = area.width();
    const int h = area.height();
    if (selection.Width() == 0 || selection.Height() == 0) {
        return {QRect(0, 0, w, h)};
    }
    const int x1 = std::min(selection.left, selection.right);
    const int x2 = std::max(selection.left, selection.right);
    const int y1 = std::min(selection.top, selection.bottom);
    const int y2 = std::max(selection.top, selection.bottom);
    std::vector<QRect> bands;
    if (y1 > 0) {
        bands.emplace_back(0, 0, w, std::min(y1, h));
    }
    if (y2 < h) {
        bands.emplace_back(0, std::max(y2, 0), w, h - std::max(y2, 0));
    }
    // The side parts span only the selection's rows inside the area.
    const int top = std::max(y1, 0);
    const int bottom = std::min(y2, h);
    if (bottom > top) {
        if (x1 > 0) {
            bands.emplace_back(0, top, std::min(x1, w), bottom - top);
        }
        if (x2 < w) {
            bands.emplace_back(std::max(x2, 0), top, w - std::max(x2, 0), bottom - top);
        }
    }
    return bands;
}

void PaintCutOverlay(QPainter& painter, const QImage& grab, QSize area, const TrackRect& selection,
                     int alpha, const RectTrackerBase& tracker) {
    painter.fillRect(QRect(QPoint(0, 0), area), Qt::white);
    if (!grab.isNull()) {
        painter.drawImage(QPoint(0, 0), grab, QRect(QPoint(0, 0), area));
    }
    const QColor dim(0, 0, 0, alpha);
    for (const QRect& band : DimBands(area, selection)) {
        painter.fillRect(band, dim);
    }
    if (!selection.IsAllZero()) {
        tracker.DrawFrame(painter);
    }
}

bool RouteSelectionMouse(QEvent* event, SelectionMouse& mouse) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) {
        return false;
    }
    const auto* press = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseMove) {
        mouse.OnMove(press->position().toPoint());
    } else if (press->button() != Qt::LeftButton) {
        return true;
    } else if (type == QEvent::MouseButtonPress) {
        mouse.OnPress(press->position().toPoint());
    } else if (type == QEvent::MouseButtonRelease) {
        mouse.OnRelease();
    } else {
        mouse.OnDoubleClick();
    }
    return true;
}

void SelectionGesture::Press(RectTrackerBase& tracker, QWidget* host, QPoint p, bool onSelection) {
    m_lastPoint = p;
    if (onSelection) {
        const int hit = tracker.LocatePoint(p.x(), p.y());
        if (hit != kHitNothing) {
            tracker.TrackDrag(hit, host, p.x(), p.y());
        }
    }
    if (!m_offered.IsAllZero()) {
        tracker.selection = m_offered;
        host->repaint();
        m_firstDragPending = true;
        m_offered = TrackRect{};
    }
}

void SelectionGesture::Move(RectTrackerBase& tracker, QWidget* host, QPoint p, bool armed) {
    const bool beyondThreshold =
        std::abs(p.x() - m_lastPoint.x()) > 1 || std::abs(p.y() - m_lastPoint.y()) > 1;
    if (beyondThreshold && armed && m_firstDragPending) {
        tracker.selection =
            TrackRect{m_lastPoint.x(), m_lastPoint.y(), m_lastPoint.x(), m_lastPoint.y()};
        tracker.TrackDrag(2, host, m_lastPoint.x(), m_lastPoint.y());
        m_firstDragPending = false;
    }
    m_lastPoint = p;
}

}  // namespace kelsor::jobs
