#pragma once

#include <QMargins>
#include <QRect>
#include <vector>

// The layout rules of the skin, as pure functions so that they are tested
// without widgets: fixed sizes are honoured, the rest is shared equally,
// padding surrounds each child, inset and childpadding belong to the
// container, and floating children sit at their own position.
namespace kelsor::ui {

enum class LayoutKind { Stack, Vertical, Horizontal };

struct LayoutItem {
    int fixedWidth = 0;   // 0: take the width the layout gives
    int fixedHeight = 0;  // 0: take the height the layout gives
    QMargins padding;
    bool visible = true;
    bool floating = false;
    QRect floatPos;  // for floating items: left/top/right/bottom relative to the area
};

// Rectangles of the items inside `area` (in the same coordinates); hidden
// items get an empty rectangle.
std::vector<QRect> ArrangeItems(LayoutKind kind, const QRect& area, const QMargins& inset,
                                int childPadding, const std::vector<LayoutItem>& items);

// Total height (vertical) or width (horizontal) the items need when all of
// them have fixed sizes; used for scrolling lists.
int ContentExtent(LayoutKind kind, const QMargins& inset, int childPadding,
                  const std::vector<LayoutItem>& items);

}  // namespace kelsor::ui
