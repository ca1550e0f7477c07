#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <vector>

#include "jobs/view/TrackerGeometry.h"

class QPainter;

// The cut overlay of the image view (and of the capture window): the screen
// grab with everything outside the selection dimmed.
namespace kelsor::jobs {

// Dimming alpha of the image view's overlay (of 255).
inline constexpr int kViewDimAlpha = 50;

// The rectangles of `area` that are dimmed around `selection` (which may be
// inverted or reach beyond the area): the whole area for a selection with no
// width or height, otherwise the bands above and below and the parts left and
// right of it between those bands, each only where it lies in the area.
std::vector<QRect> DimBands(QSize area, const TrackRect& selection);

// Draws the grab at (0, 0), dims around the selection with black at `alpha`
// and draws the tracker frame on top.
void PaintCutOverlay(QPainter& painter, const QImage& grab, QSize area, const TrackRect& selection,
                     int alpha, const class RectTrackerBase& tracker);

}  // namespace kelsor::jobs
