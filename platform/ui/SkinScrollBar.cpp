#include "platform/ui/SkinScrollBar.h"

#include <QPainter>
#include <QStyleOptionSlider>
#include <algorithm>

#include "platform/ui/PaintManager.h"

namespace kelsor::ui {

SkinScrollBar::SkinScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
    setAttribute(Qt::WA_Hover);
}

QSize SkinScrollBar::sizeHint() const {
    return orientation() == Qt::Vertical ? QSize(10, 40) : QSize(40, 10);
}

void SkinScrollBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    QRect thumb =
        style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this);
    // Without arrow buttons the groove is the whole bar.
    if (maximum() > minimum()) {
        const int len = orientation() == Qt::Vertical ? height() : width();
        const int page = pageStep();
        const int total = maximum() - minimum() + page;
        const int thumbLen = std::max(24, len * page / std::max(1, total));
        const int pos =
            (len - thumbLen) * (value() - minimum()) / std::max(1, maximum() - minimum());
        thumb = orientation() == Qt::Vertical ? QRect(1, pos, width() - 2, thumbLen)
                                              : QRect(pos, 1, thumbLen, height() - 2);
    }
    const int state = isSliderDown() ? 2 : (m_hot ? 1 : 0);
    if (m_manager != nullptr) {
        const QString ref = QStringLiteral("file='%1' source='%2,0,%3,40' corner='0,4,0,4'")
                                .arg(QLatin1String(kImage))
                                .arg(state * 8)
                                .arg(state * 8 + 8);
        if (CRenderEngine::DrawImage(p, m_manager, thumb, ref))
            return;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(state ? 0xB0B0B0 : 0xD0D0D0));
    p.drawRoundedRect(thumb, 3, 3);
}

void SkinScrollBar::enterEvent(QEnterEvent* event) {
    m_hot = true;
    update();
    QScrollBar::enterEvent(event);
}

void SkinScrollBar::leaveEvent(QEvent* event) {
    m_hot = false;
    update();
    QScrollBar::leaveEvent(event);
}

}  // namespace kelsor::ui
