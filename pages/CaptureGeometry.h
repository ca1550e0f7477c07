#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include "jobs/view/TrackerGeometry.h"

// Geometry of the screen capture window: where the size label and the
// toolbar go, which rectangle a selection stands for, and which device pixels
// it covers on a scaled screen. Plain functions over logical coordinates of
// the captured screen (origin at its top-left corner).
namespace kelsor::jobs {

inline constexpr QSize kSizeLabelBox{82, 18};
inline constexpr QSize kCaptureToolbarSize{84, 24};

// The selection with left/right and top/bottom in order, cut to the screen.
TrackRect ClipSelection(const TrackRect& selection, QSize screen);

// Top-left corner of the size label: above the selection, or just inside its
// top edge when there is no room above.
QPoint SizeLabelPosition(const TrackRect& selection);

// Top-left corner of the toolbar: right-aligned under the selection, pulled
// up to stay above the screen's bottom and kept within its width.
QPoint ToolbarPosition(const TrackRect& selection, QSize screen);

// The device pixels under a selection on a screen grabbed with `ratio`
// device pixels per logical one: edges rounded outwards, cut to the grab.
QRect DeviceCropRect(const TrackRect& selection, double ratio, QSize grab);

}  // namespace kelsor::jobs
