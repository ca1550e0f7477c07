#include "pages/CaptureGeometry.h"

#include <algorithm>
#include <cmath>

namespace kelsor::jobs {
namespace {

// Room between the selection's edges and the toolbar.
constexpr int kToolbarRightInset = 86;
constexpr int kToolbarGap = 10;
constexpr int kToolbarBottomRoom = 34;
// The label sits 20 pixels above the top edge when that leaves it on screen.
constexpr int kLabelRise = 20;
constexpr int kLabelInset = 2;

}  // namespace

TrackRect ClipSelection(const TrackRect& selection, QSize screen) {
    TrackRect r = NormalizedRect(selection);
    r.left = std::clamp(r.left, 0, screen.width());
    r.right = std::clamp(r.right, 0, screen.width());
    r.top = std::clamp(r.top, 0, screen.height());
    r.bottom = std::clamp(r.bottom, 0, screen.height());
    return r;
}

QPoint SizeLabelPosition(const TrackRect& selection) {
    const TrackRect n = NormalizedRect(selection);
    const int y = n.top > kLabelRise ? n.top - kLabelRise : n.top + kLabelInset;
    return QPoint(n.left + kLabelInset, y);
}

QPoint ToolbarPosition(const TrackRect& selection, QSize screen) {
    const TrackRect n = NormalizedRect(selection);
    const int maxX = std::max(0, screen.width() - kCaptureToolbarSize.width());
    const int x = std::clamp(n.right - kToolbarRightInset, 0, maxX);
    const int y = std::min(n.bottom + kToolbarGap, screen.height() - kToolbarBottomRoom);
    return QPoint(x, std::max(0, y));
}

QRect DeviceCropRect(const TrackRect& selection, double ratio, QSize grab) {
    const TrackRect n = NormalizedRect(selection);
    const int left = std::max(0, static_cast<int>(std::floor(n.left * ratio)));
    const int top = std::max(0, static_cast<int>(std::floor(n.top * ratio)));
    const int right = std::min(grab.width(), static_cast<int>(std::ceil(n.right * ratio)));
    const int bottom = std::min(grab.height(), static_cast<int>(std::ceil(n.bottom * ratio)));
    if (right <= left || bottom <= top) {
        return QRect();
    }
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace kelsor::jobs
