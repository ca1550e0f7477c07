#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "UiTestSupport.h"
#include "jobs/view/RectTracker.h"
#include "pages/CutOverlay.h"

using namespace kelsor::jobs;

namespace {

// Sums the band areas: the dimmed pixels, each counted once.
int DimmedArea(QSize area, TrackRect selection) {
    int total = 0;
    for (const QRect& r : DimBands(area, selection)) {
        total += r.width() * r.height();
    }
    return total;
}

}  // namespace

TEST(CutOverlay, BandsCoverExactlyTheAreaOutsideTheSelection) {
    const QSize area(528, 451);
    EXPECT_EQ(DimmedArea(area, {100, 50, 300, 250}), 528 * 451 - 200 * 200);
    // Inverted selections dim the same pixels.
    EXPECT_EQ(DimmedArea(area, {300, 250, 100, 50}), 528 * 451 - 200 * 200);
    // No width or no height: everything is dimmed.
    EXPECT_EQ(DimmedArea(area, {100, 50, 100, 250}), 528 * 451);
    EXPECT_EQ(DimmedArea(area, {}), 528 * 451);
    // The whole view selected: nothing is dimmed.
    EXPECT_TRUE(DimBands(area, {0, 0, 528, 451}).empty());
    // Reaching beyond the right and bottom edges: only the left and top parts.
    EXPECT_EQ(DimmedArea(area, {400, 300, 700, 600}), 528 * 451 - 128 * 151);
    // Partly above and left of the view.
    EXPECT_EQ(DimmedArea(area, {-50, -20, 100, 80}), 528 * 451 - 100 * 80);
}

TEST(CutOverlay, DimsTheGrabOutsideAndDrawsTheFrame) {
    kelsor::uitest::EnsureApp();
    QImage grab(200, 100, QImage::Format_RGB32);
    grab.fill(Qt::white);
    CViewRectTracker tracker;
    tracker.selection = {50, 20, 150, 80};
    QImage out(200, 100, QImage::Format_RGB32);
    {
        QPainter painter(&out);
        PaintCutOverlay(painter, grab, out.size(), tracker.selection, kViewDimAlpha, tracker);
    }
    // 255 * (1 - 50/255) = 205 outside; untouched inside; the frame one
    // pixel outside the selection in the tracker colour.
    EXPECT_NEAR(qRed(out.pixel(10, 10)), 205, 1);
    EXPECT_EQ(out.pixel(100, 50), qRgb(255, 255, 255));
    EXPECT_EQ(QColor(out.pixel(100, 19)), TrackerColor());
}
