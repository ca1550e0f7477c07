#include "jobs/view/TrackerGeometry.h"

#include <algorithm>
#include <cstdlib>

namespace kelsor::jobs {
namespace {

enum class Edge { Left, Top, Right, Bottom };

struct HandleInfo {
    Edge xFrom;
    Edge yFrom;
    int centreX;
    int centreY;
    int factorX;
    int factorY;
    int invertedX;
    int invertedY;
};

// Per handle: the edges giving its position, whether it is centred along an
// edge, how far it is pulled back from the edge (in handle sizes) and which
// handle takes its place when the rectangle is inverted.
constexpr HandleInfo kHandles[kHandleCount] = {
    {Edge::Left, Edge::Top, 0, 0, 0, 0, 1, 3},        // top-left
    {Edge::Right, Edge::Top, 0, 0, -1, 0, 0, 2},      // top-right
    {Edge::Right, Edge::Bottom, 0, 0, -1, -1, 3, 1},  // bottom-right
    {Edge::Left, Edge::Bottom, 0, 0, 0, -1, 2, 0},    // bottom-left
    {Edge::Left, Edge::Top, 1, 0, 0, 0, 4, 6},        // top middle
    {Edge::Right, Edge::Top, 0, 1, -1, 0, 7, 5},      // right middle
    {Edge::Left, Edge::Bottom, 1, 0, 0, -1, 6, 4},    // bottom middle
    {Edge::Left, Edge::Top, 0, 1, 0, 0, 5, 7},        // left middle
};

int EdgeOf(const TrackRect& rect, Edge edge) {
    switch (edge) {
        case Edge::Left:
            return rect.left;
        case Edge::Top:
            return rect.top;
        case Edge::Right:
            return rect.right;
        case Edge::Bottom:
            return rect.bottom;
    }
    return 0;
}

TrackRect Grown(const TrackRect& rect, int by) {
    return {rect.left - by, rect.top - by, rect.right + by, rect.bottom + by};
}

bool Contains(const TrackRect& rect, int x, int y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

bool ValidHandle(int handle) {
    return handle >= 0 && handle < kHandleCount;
}

}  // namespace

TrackRect NormalizedRect(const TrackRect& rect) {
    TrackRect n = rect;
    if (n.left > n.right) {
        std::swap(n.left, n.right);
    }
    if (n.top > n.bottom) {
        std::swap(n.top, n.bottom);
    }
    return n;
}

int HandleExtent(const TrackRect& rect, int handleSize) {
    const int d = std::min(std::abs(rect.Width()), std::abs(rect.Height()));
    return d < 2 * handleSize ? d / 2 : handleSize;
}

unsigned VisibleHandleMask(const TrackRect& selection, int handleSize) {
    unsigned mask = kAllHandles;
    if (std::abs(selection.Width()) - 3 * handleSize < 5) {
        mask &= ~((1u << 4) | (1u << 6));
    }
    if (std::abs(selection.Height()) - 3 * handleSize < 5) {
        mask &= ~((1u << 5) | (1u << 7));
    }
    return mask;
}

int MapInvertedHandle(const TrackRect& selection, int handle) {
    if (!ValidHandle(handle)) {
        return handle;
    }
    if (selection.left > selection.right) {
        handle = kHandles[handle].invertedX;
    }
    if (selection.top > selection.bottom) {
        handle = kHandles[handle].invertedY;
    }
    return handle;
}

TrackRect HandleBox(const TrackRect& selection, int handle, int handleSize) {
    if (!ValidHandle(handle)) {
        return {};
    }
    TrackRect rect = Grown(NormalizedRect(selection), 1);
    const HandleInfo& info = kHandles[MapInvertedHandle(selection, handle)];
    const int s = HandleExtent(selection, handleSize);
    rect = Grown(rect, s - 1);
    const int x =
        EdgeOf(rect, info.xFrom) + s * info.factorX + info.centreX * (rect.Width() - s) / 2;
    const int y =
        EdgeOf(rect, info.yFrom) + s * info.factorY + info.centreY * (rect.Height() - s) / 2;
    return {x, y, x + s, y + s};
}

int LocatePoint(const TrackRect& selection, int handleSize, int x, int y) {
    const TrackRect normal = NormalizedRect(selection);
    if (!Contains(Grown(normal, HandleExtent(selection, handleSize)), x, y)) {
        return kHitNothing;
    }
    const unsigned mask = VisibleHandleMask(selection, handleSize);
    for (int handle = 0; handle < kHandleCount; ++handle) {
        if ((mask & (1u << handle)) && Contains(HandleBox(selection, handle, handleSize), x, y)) {
            return handle;
        }
    }
    return Contains(Grown(normal, 1), x, y) ? kHitInside : kHitNothing;
}

void EnforceMinimumSize(int handle, TrackRect& rect, int minWidth, int minHeight) {
    if (!ValidHandle(handle)) {
        return;
    }
    const HandleInfo& info = kHandles[handle];
    // The moving edge goes to its partner's far side: right = left + min,
    // left = right - min, and likewise for top and bottom.
    if (!info.centreX && std::abs(rect.Width()) < minWidth) {
        if (info.xFrom == Edge::Left) {
            rect.left = rect.right - minWidth;
        } else {
            rect.right = rect.left + minWidth;
        }
    }
    if (!info.centreY && std::abs(rect.Height()) < minHeight) {
        if (info.yFrom == Edge::Top) {
            rect.top = rect.bottom - minHeight;
        } else {
            rect.bottom = rect.top + minHeight;
        }
    }
}

void ShiftIntoBounds(TrackRect& rect, const TrackRect& bounds) {
    if (rect.right >= bounds.right) {
        rect.left += bounds.right - rect.right;
        rect.right = bounds.right;
    }
    if (rect.top <= bounds.top) {
        rect.bottom += bounds.top - rect.top;
        rect.top = bounds.top;
    }
    if (rect.left <= bounds.left) {
        rect.right += bounds.left - rect.left;
        rect.left = bounds.left;
    }
    if (rect.bottom >= bounds.bottom) {
        rect.top += bounds.bottom - rect.bottom;
        rect.bottom = bounds.bottom;
    }
}

DragPlan PlanDrag(int hit, const TrackRect& selection, int x, int y) {
    DragPlan plan;
    plan.hit = hit;
    plan.start = selection;
    // Moving the whole rectangle drags its top-left corner.
    const HandleInfo& info = kHandles[hit == kHitInside || !ValidHandle(hit) ? 0 : hit];
    plan.movesX = info.centreX == 0;
    plan.xIsRight = info.xFrom == Edge::Right;
    plan.movesY = info.centreY == 0;
    plan.yIsBottom = info.yFrom == Edge::Bottom;
    plan.offsetX = plan.movesX ? x - EdgeOf(selection, info.xFrom)
                               : x - (selection.left + selection.Width() / 2);
    plan.offsetY = plan.movesY ? y - EdgeOf(selection, info.yFrom)
                               : y - (selection.top + selection.Height() / 2);
    return plan;
}

TrackRect ApplyDrag(const DragPlan& plan, const TrackRect& current, int x, int y) {
    TrackRect rect = current;
    if (plan.movesX) {
        (plan.xIsRight ? rect.right : rect.left) = x - plan.offsetX;
    }
    if (plan.movesY) {
        (plan.yIsBottom ? rect.bottom : rect.top) = y - plan.offsetY;
    }
    if (plan.hit == kHitInside) {
        // The signed extents keep an inverted rectangle's shape while it
        // moves; absolute extents would flip it and make it jump.
        rect.right = rect.left + plan.start.Width();
        rect.bottom = rect.top + plan.start.Height();
    }
    return rect;
}

}  // namespace kelsor::jobs
