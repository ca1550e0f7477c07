#pragma once

// Placement and zoom arithmetic of the picture canvas, free of any drawing so
// that every rule can be checked with plain numbers.
namespace kelsor::jobs {

// Scale change per 160 units of zoom delta (a wheel notch of 120 gives 0.045).
inline constexpr double kZoomStepPer160 = 0.06;
// Delta of the zoom-in and zoom-out buttons.
inline constexpr int kZoomButtonDelta = 160;
inline constexpr double kSmallestScale = 0.05;
inline constexpr double kLargestScale = 10.0;
// Stored in single precision on purpose: the animation's frame count follows
// from 0.01f (0.009999999776482582), e.g. seven frames from 1.0 to 1.06.
inline constexpr float kAnimationStep = 0.01f;

// Where the picture sits in the view. An origin of (0, 0) means "not placed
// yet": the next paint centres the picture.
struct CanvasPlacement {
    int originX = 0;
    int originY = 0;
    int shownWidth = 0;
    int shownHeight = 0;
};

struct FitResult {
    CanvasPlacement placement;
    double scale = 1.0;
};

enum class ZoomDirection { In, Out };

// truncate(extent x scale), kept inside the int range.
int DrawnExtent(int imageExtent, double scale);

// Centres the shown size in a view of viewWidth x viewHeight when the origin
// is (0, 0); otherwise leaves the placement alone. Returns whether it moved.
bool CentreIfUnplaced(CanvasPlacement& placement, int viewWidth, int viewHeight);

// The picture scaled to the view's width and centred vertically.
FitResult FitPlacement(int viewWidth, int viewHeight, int imageWidth, int imageHeight);

// The new target scale for a zoom delta, clamped to [0.05, 10.0].
double ZoomTarget(double scale, int delta);

// Positive deltas zoom in, everything else zooms out.
ZoomDirection DirectionOf(int delta);

// Whether the animation takes another frame towards the target scale.
bool AnimationContinues(ZoomDirection direction, double targetScale, double shownScale);

// One animation frame: steps shownScale by 0.01f and resizes the placement
// about the centre of the picture's rectangle.
void AnimationStep(ZoomDirection direction, double& shownScale, CanvasPlacement& placement,
                   int imageWidth, int imageHeight);

// The picture's rectangle, edges included.
bool PointOnPicture(const CanvasPlacement& placement, int x, int y);

// Whether a drag follows the mouse at (x, y): the canvas's right and bottom
// edges are inclusive, the clipping box's left and top too.
bool DragPointInside(int x, int y, int canvasWidth, int canvasHeight, int clipLeft, int clipTop);

}  // namespace kelsor::jobs
