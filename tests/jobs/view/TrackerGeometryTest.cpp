#include <gtest/gtest.h>

#include "jobs/view/TrackerGeometry.h"

using namespace kelsor::jobs;

namespace {

constexpr int kSize = 4;  // default handle size
constexpr int kMin = 8;   // twice the handle size

// One drag as the tracking loop runs it: moving edges, minimum size, bounds.
TrackRect Drag(int hit, TrackRect rect, int fromX, int fromY, int toX, int toY,
               TrackRect bounds = {}) {
    const DragPlan plan = PlanDrag(hit, rect, fromX, fromY);
    TrackRect moved = ApplyDrag(plan, rect, toX, toY);
    EnforceMinimumSize(hit, moved, kMin, kMin);
    if (!bounds.IsAllZero()) {
        ShiftIntoBounds(moved, bounds);
    }
    return moved;
}

}  // namespace

TEST(TrackerGeometry, HandleExtentShrinksOnSmallRectangles) {
    EXPECT_EQ(HandleExtent({0, 0, 10, 10}, kSize), 4);
    EXPECT_EQ(HandleExtent({0, 0, 8, 100}, kSize), 4);
    EXPECT_EQ(HandleExtent({0, 0, 6, 30}, kSize), 3);
    EXPECT_EQ(HandleExtent({0, 0, 7, 30}, kSize), 3);
    EXPECT_EQ(HandleExtent({30, 30, 0, 24}, kSize), 3);  // inverted: absolute extents
    EXPECT_EQ(HandleExtent({5, 5, 5, 5}, kSize), 0);
}

TEST(TrackerGeometry, SideHandlesNeedSeventeenPixels) {
    EXPECT_EQ(VisibleHandleMask({0, 0, 10, 10}, kSize), 0x0Fu);
    EXPECT_EQ(VisibleHandleMask({0, 0, 17, 17}, kSize), 0xFFu);
    // Short width drops the top and bottom middles (bits 4 and 6).
    EXPECT_EQ(VisibleHandleMask({0, 0, 16, 17}, kSize), 0xFFu & ~0x50u);
    // Short height drops the right and left middles (bits 5 and 7).
    EXPECT_EQ(VisibleHandleMask({0, 0, 17, 16}, kSize), 0xFFu & ~0xA0u);
    EXPECT_EQ(VisibleHandleMask({17, 17, 0, 0}, kSize), 0xFFu);
}

TEST(TrackerGeometry, HandleBoxesSitJustOutsideTheFrame) {
    const TrackRect r{100, 100, 200, 200};
    EXPECT_EQ(HandleBox(r, 0, kSize), (TrackRect{96, 96, 100, 100}));
    EXPECT_EQ(HandleBox(r, 1, kSize), (TrackRect{200, 96, 204, 100}));
    EXPECT_EQ(HandleBox(r, 2, kSize), (TrackRect{200, 200, 204, 204}));
    EXPECT_EQ(HandleBox(r, 3, kSize), (TrackRect{96, 200, 100, 204}));
    EXPECT_EQ(HandleBox(r, 4, kSize), (TrackRect{148, 96, 152, 100}));
    EXPECT_EQ(HandleBox(r, 5, kSize), (TrackRect{200, 148, 204, 152}));
    EXPECT_EQ(HandleBox(r, 6, kSize), (TrackRect{148, 200, 152, 204}));
    EXPECT_EQ(HandleBox(r, 7, kSize), (TrackRect{96, 148, 100, 152}));
    // 10 x 10: four-pixel corners; 6 x 30: three-pixel handles.
    EXPECT_EQ(HandleBox({20, 20, 30, 30}, 2, kSize), (TrackRect{30, 30, 34, 34}));
    EXPECT_EQ(HandleBox({20, 20, 26, 50}, 0, kSize), (TrackRect{17, 17, 20, 20}));
    // Inverted in x: handle 0 is drawn on the visual right, handle 1 on the left.
    const TrackRect inv{200, 100, 100, 200};
    EXPECT_EQ(HandleBox(inv, 0, kSize), (TrackRect{200, 96, 204, 100}));
    EXPECT_EQ(HandleBox(inv, 1, kSize), (TrackRect{96, 96, 100, 100}));
    EXPECT_EQ(MapInvertedHandle({200, 200, 100, 100}, 0), 2);
    EXPECT_EQ(MapInvertedHandle({100, 200, 200, 100}, 5), 5);
    EXPECT_EQ(HandleBox(r, 9, kSize), (TrackRect{}));
}

TEST(TrackerGeometry, LocatePoint) {
    const TrackRect r{100, 100, 200, 200};
    EXPECT_EQ(LocatePoint(r, kSize, 97, 97), 0);
    EXPECT_EQ(LocatePoint(r, kSize, 96, 96), 0);
    EXPECT_EQ(LocatePoint(r, kSize, 203, 97), 1);
    EXPECT_EQ(LocatePoint(r, kSize, 202, 202), 2);
    EXPECT_EQ(LocatePoint(r, kSize, 98, 202), 3);
    EXPECT_EQ(LocatePoint(r, kSize, 150, 98), 4);
    EXPECT_EQ(LocatePoint(r, kSize, 201, 150), 5);
    EXPECT_EQ(LocatePoint(r, kSize, 150, 203), 6);
    EXPECT_EQ(LocatePoint(r, kSize, 97, 150), 7);
    EXPECT_EQ(LocatePoint(r, kSize, 150, 150), 8);
    EXPECT_EQ(LocatePoint(r, kSize, 99, 120), 8);  // the frame line itself
    EXPECT_EQ(LocatePoint(r, kSize, 200, 120), 8);
    EXPECT_EQ(LocatePoint(r, kSize, 201, 120), -1);  // beside the frame, no handle
    EXPECT_EQ(LocatePoint(r, kSize, 95, 95), -1);
    EXPECT_EQ(LocatePoint(r, kSize, 204, 204), -1);
    // No middle handles on a 10 x 10 rectangle: its top middle is "inside".
    EXPECT_EQ(LocatePoint({20, 20, 30, 30}, kSize, 25, 19), 8);
    // Inverted in x: the visual left edge's corner answers as handle 1.
    EXPECT_EQ(LocatePoint({200, 100, 100, 200}, kSize, 97, 97), 1);
}

TEST(TrackerGeometry, MinimumSizeKeepsTheNormalSide) {
    const TrackRect r{100, 100, 200, 200};
    // Bottom-right handle 3 pixels past the top-left corner.
    EXPECT_EQ(Drag(2, r, 200, 200, 97, 97), (TrackRect{100, 100, 108, 108}));
    // 20 pixels past it: inverted, no longer below the minimum.
    EXPECT_EQ(Drag(2, r, 200, 200, 80, 80), (TrackRect{100, 100, 80, 80}));
    // Top-left handle onto the opposite corner.
    EXPECT_EQ(Drag(0, r, 100, 100, 198, 203), (TrackRect{192, 192, 200, 200}));
    // A middle handle touches one axis only, even when the other is small.
    TrackRect thin{100, 100, 103, 200};
    EXPECT_EQ(Drag(6, thin, 101, 200, 101, 104), (TrackRect{100, 100, 103, 108}));
    EXPECT_EQ(Drag(5, r, 200, 150, 95, 150), (TrackRect{100, 100, 108, 200}));
    EXPECT_EQ(Drag(7, r, 100, 150, 205, 150), (TrackRect{192, 100, 200, 200}));
    // Moving the whole rectangle is never resized.
    TrackRect tiny{10, 10, 12, 12};
    EnforceMinimumSize(kHitInside, tiny, kMin, kMin);
    EXPECT_EQ(tiny, (TrackRect{10, 10, 12, 12}));
}

TEST(TrackerGeometry, BoundsShiftInsteadOfClipping) {
    const TrackRect screen{0, 0, 1920, 1080};
    // Moving a 200 x 100 rectangle until its right edge would be at 2000.
    EXPECT_EQ(Drag(8, {1700, 300, 1900, 400}, 1750, 350, 1850, 350, screen),
              (TrackRect{1720, 300, 1920, 400}));
    // The right handle beyond the bound moves the rectangle left.
    EXPECT_EQ(Drag(5, {1700, 300, 1900, 400}, 1900, 350, 1950, 350, screen),
              (TrackRect{1670, 300, 1920, 400}));
    EXPECT_EQ(Drag(8, {10, 10, 110, 60}, 50, 30, 20, 10, screen), (TrackRect{0, 0, 100, 50}));
    EXPECT_EQ(Drag(8, {10, 10, 110, 60}, 50, 30, 50, 1100, screen),
              (TrackRect{10, 1030, 110, 1080}));
    // Order right, top, left, bottom: an oversized rectangle ends flush
    // with the left and bottom bounds.
    TrackRect big{-10, -10, 2000, 1100};
    ShiftIntoBounds(big, screen);
    EXPECT_EQ(big, (TrackRect{0, -30, 2010, 1080}));
}

TEST(TrackerGeometry, DragsOfInvertedRectangles) {
    // Handle 1 of a rectangle inverted in x is its visual left edge (right).
    const TrackRect inv{200, 100, 100, 200};
    EXPECT_EQ(Drag(1, inv, 98, 98, 60, 98), (TrackRect{200, 100, 62, 200}));
    // Moving it keeps its shape instead of flipping it.
    EXPECT_EQ(Drag(8, inv, 150, 150, 160, 170), (TrackRect{210, 120, 110, 220}));
    // A click on a handle without moving computes the same rectangle.
    EXPECT_EQ(Drag(2, {100, 100, 200, 200}, 202, 201, 202, 201), (TrackRect{100, 100, 200, 200}));
}
