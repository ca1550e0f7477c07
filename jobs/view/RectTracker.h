#pragma once

#include <Qt>

#include "jobs/view/TrackerGeometry.h"

class QColor;
class QPainter;
class QWidget;

namespace kelsor::jobs {

// The selection rectangle with eight resize handles shared by the image
// view's cut mode (CViewRectTracker) and the capture window (CXRectTracker).
// UI thread only.
class RectTrackerBase {
public:
    TrackRect selection;
    // All zero: no limits while tracking.
    TrackRect bounds;
    int minWidth = 0;
    int minHeight = 0;
    bool finishing = false;
    int handleSize = 0;

    virtual int HandleExtent() const;
    virtual int HandleExtent(const TrackRect& rect) const;
    virtual unsigned VisibleHandleMask() const;
    virtual void EnforceMinimumSize(int handle, TrackRect& rect) const;

    // Outline of the normalised rectangle grown by one pixel, then the
    // visible handles, in the tracker colour.
    void DrawFrame(QPainter& painter) const;
    int LocatePoint(int x, int y) const;
    TrackRect HandleBox(int handle) const;
    // Sets the sizing/move cursor for the mouse position over `window`;
    // false (and no cursor set) when the mouse is on nothing.
    bool ApplyCursor(QWidget* window) const;
    // Runs the modal tracking loop while the left button is held. Returns
    // whether the rectangle changed; Esc and the right button restore it.
    bool TrackDrag(int hit, QWidget* window, int x, int y);

    // Hook for the button-up that ends a loop (CXRectTracker records it).
    virtual void OnButtonReleased() {}

protected:
    RectTrackerBase();
    ~RectTrackerBase() = default;
    RectTrackerBase(const RectTrackerBase&) = default;
    RectTrackerBase& operator=(const RectTrackerBase&) = default;
};

// The tracker colour, RGB(46, 115, 228).
QColor TrackerColor();
// Handle edge length used by every new tracker (the system's in-place border
// width, 4 pixels).
int TrackerHandleSize();
// The cursor for a hit code on `selection`; Qt::ArrowCursor for -1, which
// callers treat as "none".
Qt::CursorShape TrackerCursorFor(const TrackRect& selection, int hit);

class CViewRectTracker final : public RectTrackerBase {
public:
    CViewRectTracker();
};

class CXRectTracker final : public RectTrackerBase {
public:
    CXRectTracker();
    // Set when a tracking loop ended with the left button released.
    bool released = false;
    void OnButtonReleased() override { released = true; }
};

}  // namespace kelsor::jobs
