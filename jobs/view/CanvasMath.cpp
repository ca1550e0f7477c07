#include "jobs/view/CanvasMath.h"

#include <climits>
#include <cstdint>

namespace kelsor::jobs {

int DrawnExtent(int imageExtent, double scale) {
    const double extent = static_cast<double>(imageExtent) * scale;
    // Huge pictures at large scales must not overflow into negative sizes.
    if (extent >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (extent <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(extent);
}

bool CentreIfUnplaced(CanvasPlacement& placement, int viewWidth, int viewHeight) {
    if (placement.originX != 0 || placement.originY != 0) {
        return false;
    }
    placement.originX = viewWidth / 2 - placement.shownWidth / 2;
    placement.originY = viewHeight / 2 - placement.shownHeight / 2;
    return true;
}

FitResult FitPlacement(int viewWidth, int viewHeight, int imageWidth, int imageHeight) {
    FitResult fit;
    if (imageWidth <= 0) {
        return fit;
    }
    // 64-bit product: a tall picture times the view width can exceed int.
    const std::int64_t shownHeight =
        static_cast<std::int64_t>(viewWidth) * imageHeight / imageWidth;
    fit.placement.originX = 0;
    fit.placement.shownWidth = viewWidth;
    fit.placement.shownHeight = shownHeight > INT_MAX ? INT_MAX : static_cast<int>(shownHeight);
    fit.placement.originY = static_cast<int>((viewHeight - shownHeight) / 2);
    fit.scale = static_cast<double>(viewWidth) / imageWidth;
    return fit;
}

double ZoomTarget(double scale, int delta) {
    double target = scale + delta * kZoomStepPer160 / 160;
    if (target < kSmallestScale) {
        target = kSmallestScale;
    }
    if (target > kLargestScale) {
        target = kLargestScale;
    }
    return target;
}

ZoomDirection DirectionOf(int delta) {
    return delta > 0 ? ZoomDirection::In : ZoomDirection::Out;
}

bool AnimationContinues(ZoomDirection direction, double targetScale, double shownScale) {
    return direction == ZoomDirection::In ? targetScale > shownScale : shownScale > targetScale;
}

void AnimationStep(ZoomDirection direction, double& shownScale, CanvasPlacement& placement,
                   int imageWidth, int imageHeight) {
    const double step = static_cast<double>(kAnimationStep);
    shownScale += direction == ZoomDirection::In ? step : -step;
    const int newWidth = DrawnExtent(imageWidth, shownScale);
    const int newHeight = DrawnExtent(imageHeight, shownScale);
    // Grow or shrink about the centre; the divisions truncate toward zero.
    placement.originX += (newWidth - placement.shownWidth) / -2;
    placement.originY += (newHeight - placement.shownHeight) / -2;
    placement.shownWidth = newWidth;
    placement.shownHeight = newHeight;
}

bool PointOnPicture(const CanvasPlacement& placement, int x, int y) {
    const std::int64_t right = static_cast<std::int64_t>(placement.originX) + placement.shownWidth;
    const std::int64_t bottom =
        static_cast<std::int64_t>(placement.originY) + placement.shownHeight;
    return x >= placement.originX && x <= right && y >= placement.originY && y <= bottom;
}

bool DragPointInside(int x, int y, int canvasWidth, int canvasHeight, int clipLeft, int clipTop) {
    return !(x > canvasWidth || x < clipLeft || y > canvasHeight || y < clipTop);
}

}  // namespace kelsor::jobs
