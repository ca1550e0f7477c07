// Where the capture window puts its label and toolbar, and which pixels a
// selection stands for.
#include <gtest/gtest.h>

#include "pages/CaptureGeometry.h"

using kelsor::jobs::TrackRect;
namespace jobs = kelsor::jobs;

namespace {

constexpr QSize kScreen{1280, 900};

TEST(CaptureGeometry, SelectionIsNormalisedAndCutToTheScreen) {
    struct Case {
        TrackRect in;
        TrackRect out;
    } cases[] = {
        {{100, 100, 300, 250}, {100, 100, 300, 250}},
        {{300, 250, 100, 100}, {100, 100, 300, 250}},  // dragged up and left
        {{-20, 850, 40, 950}, {0, 850, 40, 900}},
        {{1300, 10, 1200, 20}, {1200, 10, 1280, 20}},
        {{5, 5, 5, 80}, {5, 5, 5, 80}},  // no width: stays empty
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jobs::ClipSelection(c.in, kScreen), c.out) << c.in.left << "," << c.in.top;
    }
}

TEST(CaptureGeometry, LabelGoesAboveTheSelectionOrInsideNearTheTop) {
    struct Case {
        TrackRect selection;
        QPoint at;
    } cases[] = {
        {{100, 100, 300, 250}, {102, 80}},
        {{300, 250, 100, 100}, {102, 80}},  // inverted: its visual corner
        {{10, 21, 90, 60}, {12, 1}},        // room for the label
        {{10, 20, 90, 60}, {12, 22}},       // no room: inside
        {{0, 0, 1280, 900}, {2, 2}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jobs::SizeLabelPosition(c.selection), c.at) << c.selection.top;
    }
}

TEST(CaptureGeometry, ToolbarSitsUnderTheSelectionAndStaysOnScreen) {
    struct Case {
        TrackRect selection;
        QPoint at;
    } cases[] = {
        {{100, 100, 300, 250}, {214, 260}},
        {{100, 100, 300, 860}, {214, 866}},  // within 34 of the bottom
        {{0, 850, 50, 900}, {0, 866}},       // bottom-left corner
        {{1200, 10, 1280, 60}, {1194, 70}},
        {{1250, 10, 1300, 60}, {1196, 70}},  // right edge beyond the screen
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jobs::ToolbarPosition(c.selection, kScreen), c.at) << c.selection.left;
    }
}

TEST(CaptureGeometry, DeviceCropRoundsOutwardsAndStaysInTheGrab) {
    struct Case {
        TrackRect selection;
        double ratio;
        QSize grab;
        QRect crop;
    } cases[] = {
        {{100, 100, 300, 250}, 1.0, {1280, 900}, QRect(100, 100, 200, 150)},
        {{100, 100, 300, 250}, 2.0, {2560, 1800}, QRect(200, 200, 400, 300)},
        {{300, 250, 100, 100}, 2.0, {2560, 1800}, QRect(200, 200, 400, 300)},
        {{1, 1, 3, 3}, 1.5, {1920, 1350}, QRect(1, 1, 4, 4)},  // 1.5..4.5 outwards
        {{1200, 800, 1280, 900}, 1.25, {1599, 1124}, QRect(1500, 1000, 99, 124)},
        {{10, 10, 10, 40}, 2.0, {2560, 1800}, QRect()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jobs::DeviceCropRect(c.selection, c.ratio, c.grab), c.crop)
            << c.selection.left << " x" << c.ratio;
    }
}

}  // namespace
