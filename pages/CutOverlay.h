#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

#include "jobs/view/TrackerGeometry.h"

class QEvent;
class QPainter;
class QWidget;

// The cut overlay of the image view (and of the capture window): the screen
// grab with everything outside the selection dimmed.
namespace kelsor::jobs {

class RectTrackerBase;

// Dimming alpha of the image view's overlay (of 255).
inline constexpr int kViewDimAlpha = 50;

// The rectangles of `area` that are dimmed around `selection` (which may be
// inverted or reach beyond the area): the whole area for a selection with no
// width or height, otherwise the bands above and below and the parts left and
// right of it between those bands, each only where it lies in the area.
std::vector<QRect> DimBands(QSize area, const TrackRect& selection);

// Draws the grab at (0, 0), dims around the selection with black at `alpha`
// and draws the tracker frame on top.
void PaintCutOverlay(QPainter& painter, const QImage& grab, QSize area, const TrackRect& selection,
                     int alpha, const RectTrackerBase& tracker);

// What a window that draws a selection does with its host's mouse events.
class SelectionMouse {
public:
    virtual ~SelectionMouse() = default;
    virtual void OnPress(QPoint p) = 0;  // left button
    virtual void OnMove(QPoint p) = 0;   // any button or none
    virtual void OnRelease() = 0;        // left button
    virtual void OnDoubleClick() {}      // left button
};

// Hands a host's mouse event to `mouse`; false (and nothing done) for other
// events. Every mouse event counts as handled.
bool RouteSelectionMouse(QEvent* event, SelectionMouse& mouse);

// The start of a selection, shared by the image view's cut mode and the
// capture window: the first press takes the whole area that was offered, and
// a drag right after it draws a rubber band from the press point instead.
class SelectionGesture {
public:
    // The rectangle the next press selects.
    void Offer(const TrackRect& whole) { m_offered = whole; }
    // A press at `p`: with `onSelection` a press on the selection tracks it
    // (handle or move); then an offered rectangle becomes the selection.
    void Press(RectTrackerBase& tracker, QWidget* host, QPoint p, bool onSelection);
    // A move to `p`: past one pixel while `armed` and right after the first
    // press, the rubber band.
    void Move(RectTrackerBase& tracker, QWidget* host, QPoint p, bool armed);
    // The button is up: no rubber band until the next first press.
    void End() { m_firstDragPending = false; }

private:
    QPoint m_lastPoint;
    bool m_firstDragPending = false;
    TrackRect m_offered;
};

}  // namespace kelsor::jobs
