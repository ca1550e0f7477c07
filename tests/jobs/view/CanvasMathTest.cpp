#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "jobs/view/CanvasMath.h"

using namespace kelsor::jobs;

namespace {

struct Animation {
    std::vector<double> scales;
    std::vector<CanvasPlacement> placements;
};

// Runs the animation loop the way the canvas's thread does.
Animation Animate(int delta, double& target, double& shown, CanvasPlacement& placement,
                  int imageWidth, int imageHeight) {
    Animation run;
    shown = target;
    target = ZoomTarget(target, delta);
    const ZoomDirection direction = DirectionOf(delta);
    while (AnimationContinues(direction, target, shown)) {
        AnimationStep(direction, shown, placement, imageWidth, imageHeight);
        run.scales.push_back(shown);
        run.placements.push_back(placement);
    }
    return run;
}

}  // namespace

TEST(CanvasMath, FreshPictureIsCentredAtNaturalSize) {
    CanvasPlacement p{0, 0, 2000, 1000};
    EXPECT_TRUE(CentreIfUnplaced(p, 528, 451));
    EXPECT_EQ(p.originX, -736);
    EXPECT_EQ(p.originY, -275);
    // Once placed, painting leaves the picture where it is.
    EXPECT_FALSE(CentreIfUnplaced(p, 528, 451));
    EXPECT_EQ(p.originX, -736);
    // A small picture with odd sizes: both halves truncate.
    CanvasPlacement small{0, 0, 101, 51};
    CentreIfUnplaced(small, 528, 451);
    EXPECT_EQ(small.originX, 264 - 50);
    EXPECT_EQ(small.originY, 225 - 25);
    // A picture dragged exactly onto (0, 0) counts as unplaced again.
    CanvasPlacement dragged{0, 0, 300, 200};
    EXPECT_TRUE(CentreIfUnplaced(dragged, 528, 451));
    EXPECT_EQ(dragged.originX, 114);
}

TEST(CanvasMath, FitToWidth) {
    FitResult fit = FitPlacement(528, 451, 2000, 1000);
    EXPECT_DOUBLE_EQ(fit.scale, 0.264);
    EXPECT_EQ(fit.placement.originX, 0);
    EXPECT_EQ(fit.placement.originY, 93);
    EXPECT_EQ(fit.placement.shownWidth, 528);
    EXPECT_EQ(fit.placement.shownHeight, 264);
    // A tall picture overhangs the view at both ends (truncation toward 0).
    fit = FitPlacement(528, 451, 1000, 4001);
    EXPECT_EQ(fit.placement.shownHeight, 2112);
    EXPECT_EQ(fit.placement.originY, -830);
    // Width times height beyond 32 bits does not overflow.
    fit = FitPlacement(528, 451, 1, 5000000);
    EXPECT_EQ(fit.placement.shownHeight, INT_MAX);
    EXPECT_DOUBLE_EQ(fit.scale, 528.0);
}

TEST(CanvasMath, ZoomStepAndClamps) {
    EXPECT_DOUBLE_EQ(ZoomTarget(1.0, 160), 1.06);
    EXPECT_DOUBLE_EQ(ZoomTarget(1.0, -160), 0.94);
    EXPECT_DOUBLE_EQ(ZoomTarget(1.0, -120), 0.955);
    EXPECT_DOUBLE_EQ(ZoomTarget(1.0, 240), 1.09);
    double scale = 1.0;
    for (int i = 0; i < 100; ++i) {
        scale = ZoomTarget(scale, -kZoomButtonDelta);
    }
    EXPECT_EQ(scale, 0.05);
    for (int i = 0; i < 500; ++i) {
        scale = ZoomTarget(scale, kZoomButtonDelta);
    }
    EXPECT_EQ(scale, 10.0);
    EXPECT_EQ(ZoomTarget(0.06, -160), 0.05);
    EXPECT_EQ(ZoomTarget(9.99, 160), 10.0);
    EXPECT_EQ(DirectionOf(1), ZoomDirection::In);
    EXPECT_EQ(DirectionOf(0), ZoomDirection::Out);
    EXPECT_EQ(DirectionOf(-120), ZoomDirection::Out);
}

TEST(CanvasMath, ButtonZoomInTakesSevenSinglePrecisionSteps) {
    double target = 1.0, shown = 1.0;
    CanvasPlacement p{-736, -275, 2000, 1000};
    const Animation run = Animate(160, target, shown, p, 2000, 1000);
    EXPECT_DOUBLE_EQ(target, 1.06);
    ASSERT_EQ(run.scales.size(), 7u);
    for (size_t i = 0; i < run.scales.size(); ++i) {
        EXPECT_NEAR(run.scales[i], 1.0 + 0.01 * double(i + 1), 1e-6);
    }
    // Six single-precision steps end just below 1.06, hence the seventh.
    EXPECT_LT(run.scales[5], 1.06);
    EXPECT_GT(run.scales[6], 1.06);
    // The rectangle grows about its centre (264, 225) within a pixel.
    for (const CanvasPlacement& frame : run.placements) {
        EXPECT_NEAR(frame.originX + frame.shownWidth / 2.0, 264.0, 1.0);
        EXPECT_NEAR(frame.originY + frame.shownHeight / 2.0, 225.0, 1.0);
    }
    // truncate(2000 x 1.0699999...) = 2139.
    EXPECT_EQ(run.placements.back().shownWidth, 2139);
    EXPECT_EQ(run.placements.back().shownHeight, 1069);
    // The next zoom starts from the target, not from the overshoot.
    const Animation next = Animate(160, target, shown, p, 2000, 1000);
    EXPECT_DOUBLE_EQ(target, 1.12);
    EXPECT_GE(next.scales.size(), 6u);
    EXPECT_NEAR(next.scales.front(), 1.07, 1e-6);
}

TEST(CanvasMath, WheelNotchDownTakesFiveSteps) {
    double target = 1.0, shown = 1.0;
    CanvasPlacement p{-736, -275, 2000, 1000};
    const Animation run = Animate(-120, target, shown, p, 2000, 1000);
    EXPECT_DOUBLE_EQ(target, 0.955);
    ASSERT_EQ(run.scales.size(), 5u);
    EXPECT_NEAR(run.scales.back(), 0.95, 1e-6);
    EXPECT_EQ(run.placements.back().shownWidth, 1900);
    for (const CanvasPlacement& frame : run.placements) {
        EXPECT_NEAR(frame.originX + frame.shownWidth / 2.0, 264.0, 1.0);
    }
    // A zero delta changes nothing and draws nothing.
    double same = 1.0, sameShown = 1.0;
    EXPECT_TRUE(Animate(0, same, sameShown, p, 2000, 1000).scales.empty());
}

TEST(CanvasMath, AnimationFollowsANewTargetInItsDirectionOnly) {
    double shown = 1.0;
    CanvasPlacement p{0, 0, 100, 100};
    // Target raised mid-way: the loop keeps going.
    AnimationStep(ZoomDirection::In, shown, p, 100, 100);
    EXPECT_TRUE(AnimationContinues(ZoomDirection::In, 1.12, shown));
    // Target moved below the shown scale: the zoom-in loop ends there.
    EXPECT_FALSE(AnimationContinues(ZoomDirection::In, 0.94, shown));
    EXPECT_FALSE(AnimationContinues(ZoomDirection::Out, 1.0, 1.0));
}

TEST(CanvasMath, DragHitTestsAndViewLimits) {
    const CanvasPlacement p{214, 200, 100, 50};
    EXPECT_TRUE(PointOnPicture(p, 214, 200));
    EXPECT_TRUE(PointOnPicture(p, 314, 250));  // edges included
    EXPECT_FALSE(PointOnPicture(p, 315, 250));
    EXPECT_FALSE(PointOnPicture(p, 213, 220));
    EXPECT_FALSE(PointOnPicture(p, 10, 10));  // the white area around it
    EXPECT_FALSE(PointOnPicture(CanvasPlacement{INT_MAX - 5, 0, 100, 10}, INT_MIN, 5));

    EXPECT_TRUE(DragPointInside(528, 451, 528, 451, 0, 0));
    EXPECT_TRUE(DragPointInside(0, 0, 528, 451, 0, 0));
    EXPECT_FALSE(DragPointInside(529, 10, 528, 451, 0, 0));
    EXPECT_FALSE(DragPointInside(10, 452, 528, 451, 0, 0));
    EXPECT_FALSE(DragPointInside(-1, 10, 528, 451, 0, 0));
    EXPECT_FALSE(DragPointInside(10, -1, 528, 451, 0, 0));
}

TEST(CanvasMath, DrawnExtentTruncatesAndSaturates) {
    EXPECT_EQ(DrawnExtent(2000, 0.264), 528);
    EXPECT_EQ(DrawnExtent(999, 0.5), 499);
    EXPECT_EQ(DrawnExtent(2000, 1.0 + double(0.01f)), 2019);
    EXPECT_EQ(DrawnExtent(INT_MAX, 10.0), INT_MAX);
}
