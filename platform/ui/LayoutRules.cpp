#include "platform/ui/LayoutRules.h"

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

std::vector<QRect> ArrangeItems(LayoutKind kind, const QRect& area, const QMargins& inset,
                                int childPadding, const std::vector<LayoutItem>& items) {
    std::vector<QRect> out(items.size());
    const QRect inner = area.marginsRemoved(inset);
    const bool vertical = kind == LayoutKind::Vertical;

    if (kind == LayoutKind::Stack) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            const LayoutItem& it = items[i];
            if (!it.visible)
                continue;
            if (it.floating) {
                out[i] = FloatRect(area, it);
                continue;
            }
            QRect r = inner.marginsRemoved(it.padding);
            if (it.fixedWidth > 0)
                r.setWidth(it.fixedWidth);
            if (it.fixedHeight > 0)
                r.setHeight(it.fixedHeight);
            out[i] = r;
        }
        return out;
    }

    // First pass: what the fixed items and paddings take, how many share.
    int used = 0;
    int sharers = 0;
    int flowCount = 0;
    for (const LayoutItem& it : items) {
        if (!it.visible || it.floating)
            continue;
        ++flowCount;
        const int fixed = vertical ? it.fixedHeight : it.fixedWidth;
        const int pad = vertical ? it.padding.top() + it.padding.bottom()
                                 : it.padding.left() + it.padding.right();
        used += pad;
        if (fixed > 0)
            used += fixed;
        else
            ++sharers;
    }
    if (flowCount > 1)
        used += childPadding * (flowCount - 1);
    const int avail = vertical ? inner.height() : inner.width();
    const int rest = std::max(0, avail - used);
    const int share = sharers > 0 ? rest / sharers : 0;
    int remainder = sharers > 0 ? rest - share * sharers : 0;

    int cursor = vertical ? inner.top() : inner.left();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& it = items[i];
        if (!it.visible)
            continue;
        if (it.floating) {
            out[i] = FloatRect(area, it);
            continue;
        }
        if (vertical) {
            int h = it.fixedHeight;
            if (h <= 0) {
                h = share;
                // The last sharer takes what integer division left over.
                if (--sharers == 0)
                    h += remainder;
            }
            const int w = it.fixedWidth > 0
                              ? it.fixedWidth
                              : inner.width() - it.padding.left() - it.padding.right();
            cursor += it.padding.top();
            out[i] = QRect(inner.left() + it.padding.left(), cursor, std::max(0, w), h);
            cursor += h + it.padding.bottom() + childPadding;
        } else {
            int w = it.fixedWidth;
            if (w <= 0) {
                w = share;
                if (--sharers == 0)
                    w += remainder;
            }
            const int h = it.fixedHeight > 0
                              ? it.fixedHeight
                              : inner.height() - it.padding.top() - it.padding.bottom();
            cursor += it.padding.left();
            out[i] = QRect(cursor, inner.top() + it.padding.top(), w, std::max(0, h));
            cursor += w + it.padding.right() + childPadding;
        }
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
