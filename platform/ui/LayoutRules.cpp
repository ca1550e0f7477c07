#include "platform/ui/LayoutRules.h"

#include <algorithm>
#include <utility>

namespace kelsor::ui {

static QRect FloatRect(const QRect& area, const LayoutItem& it) {
    const QRect& p = it.floatPos;
    int w = p.width();
    int h = p.height();
    if (w <= 0)
        w = it.fixedWidth;
    if (h <= 0)
        h = it.fixedHeight;
    return QRect(area.left() + p.left(), area.top() + p.top(), w, h);
}

// The horizontal rule is the vertical one with x and y swapped.
static QRect Transposed(const QRect& r) {
    return QRect(r.y(), r.x(), r.height(), r.width());
}

static LayoutItem Transposed(LayoutItem it) {
    std::swap(it.fixedWidth, it.fixedHeight);
    it.padding =
        QMargins(it.padding.top(), it.padding.left(), it.padding.bottom(), it.padding.right());
    return it;
}

// Each item on its own in the inner area (floating items are placed apart).
static void Stack(const QRect& inner, const std::vector<LayoutItem>& items,
                  std::vector<QRect>& out) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& it = items[i];
        if (!it.visible || it.floating)
            continue;
        QRect r = inner.marginsRemoved(it.padding);
        if (it.fixedWidth > 0)
            r.setWidth(it.fixedWidth);
        if (it.fixedHeight > 0)
            r.setHeight(it.fixedHeight);
        out[i] = r;
    }
}

// The items down a column: fixed heights and paddings first, the height left
// shared by the others; an item without a fixed width spans the column.
static void Column(const QRect& inner, int childPadding, const std::vector<LayoutItem>& items,
                   std::vector<QRect>& out) {
    int used = 0;
    int sharers = 0;
    int flowCount = 0;
    for (const LayoutItem& it : items) {
        if (!it.visible || it.floating)
            continue;
        ++flowCount;
        used += it.padding.top() + it.padding.bottom();
        if (it.fixedHeight > 0)
            used += it.fixedHeight;
        else
            ++sharers;
    }
    if (flowCount > 1)
        used += childPadding * (flowCount - 1);
    const int rest = std::max(0, inner.height() - used);
    const int share = sharers > 0 ? rest / sharers : 0;
    const int remainder = sharers > 0 ? rest - share * sharers : 0;

    int cursor = inner.top();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& it = items[i];
        if (!it.visible || it.floating)
            continue;
        int h = it.fixedHeight;
        if (h <= 0) {
            h = share;
            // The last sharer takes what integer division left over.
            if (--sharers == 0)
                h += remainder;
        }
        const int w = it.fixedWidth > 0 ? it.fixedWidth
                                        : inner.width() - it.padding.left() - it.padding.right();
        cursor += it.padding.top();
        out[i] = QRect(inner.left() + it.padding.left(), cursor, std::max(0, w), h);
        cursor += h + it.padding.bottom() + childPadding;
    }
}

std::vector<QRect> ArrangeItems(LayoutKind kind, const QRect& area, const QMargins& inset,
                                int childPadding, const std::vector<LayoutItem>& items) {
    std::vector<QRect> out(items.size());
    const QRect inner = area.marginsRemoved(inset);
    if (kind == LayoutKind::Stack) {
        Stack(inner, items, out);
    } else if (kind == LayoutKind::Vertical) {
        Column(inner, childPadding, items, out);
    } else {
        std::vector<LayoutItem> turned;
        turned.reserve(items.size());
        for (const LayoutItem& it : items)
            turned.push_back(Transposed(it));
        Column(Transposed(inner), childPadding, turned, out);
        for (QRect& r : out)
            r = Transposed(r);
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].visible && items[i].floating)
            out[i] = FloatRect(area, items[i]);
    }
    return out;
}

int ContentExtent(LayoutKind kind, const QMargins& inset, int childPadding,
                  const std::vector<LayoutItem>& items) {
    const bool vertical = kind != LayoutKind::Horizontal;
    int total = vertical ? inset.top() + inset.bottom() : inset.left() + inset.right();
    int flow = 0;
    for (const LayoutItem& it : items) {
        if (!it.visible || it.floating)
            continue;
        ++flow;
        total += vertical ? it.fixedHeight + it.padding.top() + it.padding.bottom()
                          : it.fixedWidth + it.padding.left() + it.padding.right();
    }
    if (flow > 1)
        total += childPadding * (flow - 1);
    return total;
}

}  // namespace kelsor::ui
