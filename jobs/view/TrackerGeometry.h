#pragma once

// Geometry of the selection rectangle tracker: handles, hit-testing, minimum
// size and bounds, as plain functions over integer rectangles.
namespace kelsor::jobs {

// Left, top, right, bottom in the owner's client coordinates; right < left or
// bottom < top marks a rectangle inverted by tracking.
struct TrackRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsAllZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool operator==(const TrackRect&) const = default;
};

// Hit codes: 0-3 corners (clockwise from top-left), 4-7 middles (top,
// right, bottom, left), 8 inside, -1 nothing.
inline constexpr int kHitNothing = -1;
inline constexpr int kHitInside = 8;
inline constexpr int kHandleCount = 8;
inline constexpr unsigned kAllHandles = 0xFFu;

// Left/right and top/bottom swapped where inverted.
TrackRect NormalizedRect(const TrackRect& rect);

// The handle edge length: handleSize, or half the smaller extent when the
// rectangle is smaller than two handles.
int HandleExtent(const TrackRect& rect, int handleSize);

// Bit i set when handle i is drawn; the middle handles disappear on short
// sides.
unsigned VisibleHandleMask(const TrackRect& selection, int handleSize);

// The handle that sits where `handle` is drawn once the selection's
// inversions are taken into account.
int MapInvertedHandle(const TrackRect& selection, int handle);

// The square of a handle (right and bottom exclusive).
TrackRect HandleBox(const TrackRect& selection, int handle, int handleSize);

// The hit code of a point.
int LocatePoint(const TrackRect& selection, int handleSize, int x, int y);

// Keeps the edges moved by `handle` at least minWidth/minHeight from their
// partners, on their normal side. Hit code 8 is left alone.
void EnforceMinimumSize(int handle, TrackRect& rect, int minWidth, int minHeight);

// Shifts (never clips) the rectangle into bounds: right, top, left, bottom
// in that order.
void ShiftIntoBounds(TrackRect& rect, const TrackRect& bounds);

// One drag of a handle or of the whole rectangle: which edges follow the
// mouse and by which grab offsets.
struct DragPlan {
    int hit = kHitInside;
    bool movesX = false;
    bool xIsRight = false;
    bool movesY = false;
    bool yIsBottom = false;
    int offsetX = 0;
    int offsetY = 0;
    TrackRect start;
};

DragPlan PlanDrag(int hit, const TrackRect& selection, int x, int y);

// The rectangle with the moving edges at the mouse position (before the
// minimum size and the bounds).
TrackRect ApplyDrag(const DragPlan& plan, const TrackRect& current, int x, int y);

}  // namespace kelsor::jobs
