#include "platform/ui/Labels.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>

#include "platform/ui/Attributes.h"
#include "platform/ui/PaintManager.h"

namespace kelsor::ui {

namespace {

// A text-style attribute: each word of the attribute clears some style bits
// and sets others; any other word is refused.
struct StyleChange {
    UINT clear = 0;
    UINT set = 0;
};

AttributeTable<CLabelUI>::Setter StyleWords(QHash<QString, StyleChange> words) {
    return [words = std::move(words)](CLabelUI& label, const QString& value) {
        const auto it = words.constFind(value);
        if (it == words.constEnd())
            return false;
        label.SetTextStyle((label.GetTextStyle() & ~it->clear) | it->set);
        return true;
    };
}

// "multiline" and "wordbreak": wrapped lines, or one line.
AttributeTable<CLabelUI>::Setter MultilineWords() {
    return StyleWords({{QStringLiteral("true"), {DT_SINGLELINE, DT_WORDBREAK}},
                       {QStringLiteral("false"), {DT_WORDBREAK, DT_SINGLELINE}}});
}

}  // namespace

bool CLabelUI::ApplyAttribute(const QString& name, const QString& value) {
    constexpr UINT kHorizontal = DT_LEFT | DT_CENTER | DT_RIGHT;
    constexpr UINT kVertical = DT_VCENTER | DT_BOTTOM;
    static const AttributeTable<CLabelUI> kTable = {
        {QStringLiteral("font"), attr::Call(&CLabelUI::SetFont)},
        {QStringLiteral("align"),
         StyleWords({{QStringLiteral("left"), {kHorizontal, DT_LEFT}},
                     {QStringLiteral("center"), {kHorizontal, DT_CENTER}},
                     {QStringLiteral("right"), {kHorizontal, DT_RIGHT}},
                     {QStringLiteral("top"), {kHorizontal | kVertical, 0}},
                     {QStringLiteral("bottom"), {kHorizontal | DT_VCENTER, DT_BOTTOM}}})},
        {QStringLiteral("valign"), StyleWords({{QStringLiteral("vcenter"), {kVertical, DT_VCENTER}},
                                               {QStringLiteral("center"), {kVertical, DT_VCENTER}},
                                               {QStringLiteral("bottom"), {kVertical, DT_BOTTOM}},
                                               {QStringLiteral("top"), {kVertical, 0}}})},
        {QStringLiteral("endellipsis"),
         StyleWords({{QStringLiteral("true"), {0, DT_END_ELLIPSIS}},
                     {QStringLiteral("false"), {DT_END_ELLIPSIS, 0}}})},
        {QStringLiteral("multiline"), MultilineWords()},
        {QStringLiteral("wordbreak"), MultilineWords()},
        {QStringLiteral("textpadding"), attr::Call(&CLabelUI::SetTextPadding)},
        {QStringLiteral("textcolor"), attr::Call(&CLabelUI::SetTextColor)},
        {QStringLiteral("disabledtextcolor"), attr::Field(&CLabelUI::m_disabledTextColor)},
        {QStringLiteral("autocalcwidth"), attr::Call(&CLabelUI::SetAutoCalcWidth)},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CControlUI::ApplyAttribute(name, value);
}

void CLabelUI::SetText(const CDuiString& text) {
    CControlUI::SetText(text);
    UpdateAutoWidth();
}

void CLabelUI::SetFont(int index) {
    m_font = index;
    UpdateAutoWidth();
    update();
}

void CLabelUI::SetTextStyle(UINT style) {
    m_textStyle = style;
    update();
}

void CLabelUI::SetTextPadding(const QMargins& padding) {
    m_textPadding = padding;
    UpdateAutoWidth();
    update();
}

void CLabelUI::SetTextColor(const QColor& color) {
    m_textColor = color;
    update();
}

void CLabelUI::SetAutoCalcWidth(bool autoCalc) {
    m_autoCalcWidth = autoCalc;
    UpdateAutoWidth();
}

void CLabelUI::UpdateAutoWidth() {
    if (!m_autoCalcWidth || m_manager == nullptr)
        return;
    const QSize s = CRenderEngine::GetTextSize(m_manager, m_text, m_font, m_textStyle);
    SetFixedWidth(s.width() + m_textPadding.left() + m_textPadding.right());
}

void CLabelUI::PaintText(QPainter& p) {
    QColor c = m_textColor;
    if (!IsEnabled() && m_disabledTextColor.isValid())
        c = m_disabledTextColor;
    PaintTextWith(p, c);
}

void CLabelUI::PaintTextWith(QPainter& p, const QColor& color) {
    if (m_text.empty())
        return;
    const QFont f = ResolveFont(m_font);
    p.setFont(f);
    p.setPen(color);
    const QRect r = rect().marginsRemoved(m_textPadding);
    int flags = 0;
    if (m_textStyle & DT_CENTER)
        flags |= Qt::AlignHCenter;
    else if (m_textStyle & DT_RIGHT)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    if (m_textStyle & DT_VCENTER)
        flags |= Qt::AlignVCenter;
    else if (m_textStyle & DT_BOTTOM)
        flags |= Qt::AlignBottom;
    else
        flags |= Qt::AlignTop;
    QString text = ToQString(m_text);
    if (m_textStyle & DT_WORDBREAK) {
        flags |= Qt::TextWordWrap;
    } else if (m_textStyle & DT_END_ELLIPSIS) {
        text = QFontMetrics(f).elidedText(text, Qt::ElideRight, r.width());
    }
    p.drawText(r, flags, text);
}

// ----------------------------------------------------------------- CButtonUI

CButtonUI::CButtonUI() {
    m_textStyle = DT_VCENTER | DT_SINGLELINE | DT_CENTER;
}

bool CButtonUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CButtonUI> kTable = {
        {QStringLiteral("normalimage"), attr::Field(&CButtonUI::m_normalImage)},
        {QStringLiteral("hotimage"), attr::Field(&CButtonUI::m_hotImage)},
        {QStringLiteral("pushedimage"), attr::Field(&CButtonUI::m_pushedImage)},
        {QStringLiteral("disabledimage"), attr::Field(&CButtonUI::m_disabledImage)},
        {QStringLiteral("foreimage"), attr::Field(&CButtonUI::m_foreImage)},
        {QStringLiteral("hotforeimage"), attr::Field(&CButtonUI::m_hotForeImage)},
        {QStringLiteral("hottextcolor"), attr::Field(&CButtonUI::m_hotTextColor)},
        {QStringLiteral("pushedtextcolor"), attr::Field(&CButtonUI::m_pushedTextColor)},
        {QStringLiteral("hotbkcolor"), attr::Field(&CButtonUI::m_hotBkColor)},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CLabelUI::ApplyAttribute(name, value);
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (m_manager != nullptr)
        m_manager->SendNotify(this, L"click");
    return true;
}

QString CButtonUI::CurrentImage() const {
    if (!IsEnabled())
        return !m_disabledImage.isEmpty() ? m_disabledImage : m_normalImage;
    if (m_pushed && !m_pushedImage.isEmpty())
        return m_pushedImage;
    if ((m_hot || m_pushed) && !m_hotImage.isEmpty())
        return m_hotImage;
    return m_normalImage;
}

QColor CButtonUI::CurrentTextColor() const {
    if (!IsEnabled())
        return m_disabledTextColor.isValid() ? m_disabledTextColor : m_textColor;
    if (m_pushed && m_pushedTextColor.isValid())
        return m_pushedTextColor;
    if ((m_hot || m_pushed) && m_hotTextColor.isValid())
        return m_hotTextColor;
    return m_textColor;
}

void CButtonUI::PaintStatusImage(QPainter& p) {
    if (m_hot && IsEnabled() && m_hotBkColor.isValid())
        p.fillRect(rect(), m_hotBkColor);
    DrawImage(p, CurrentImage());
    const QString fore = (m_hot && !m_hotForeImage.isEmpty()) ? m_hotForeImage : m_foreImage;
    DrawImage(p, fore);
}

void CButtonUI::PaintText(QPainter& p) {
    PaintTextWith(p, CurrentTextColor());
}

void CButtonUI::enterEvent(QEnterEvent* event) {
    m_hot = true;
    update();
    QWidget::enterEvent(event);
}

void CButtonUI::leaveEvent(QEvent* event) {
    m_hot = false;
    update();
    QWidget::leaveEvent(event);
}

void CButtonUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !IsEnabled()) {
        event->ignore();
        return;
    }
    m_pushed = true;
    update();
    event->accept();
}

void CButtonUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pushed) {
        event->ignore();
        return;
    }
    m_pushed = false;
    update();
    if (rect().contains(event->position().toPoint()))
        Activate();
    event->accept();
}

// ----------------------------------------------------------------- COptionUI

bool COptionUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<COptionUI> kTable = {
        {QStringLiteral("group"), attr::Field(&COptionUI::m_group)},
        {QStringLiteral("selected"),
         attr::Parsed<bool>([](COptionUI& option, bool on) { option.Selected(on, false); })},
        {QStringLiteral("selectedimage"), attr::Field(&COptionUI::m_selectedImage)},
        {QStringLiteral("selectedhotimage"), attr::Field(&COptionUI::m_selectedHotImage)},
        {QStringLiteral("selectedtextcolor"), attr::Field(&COptionUI::m_selectedTextColor)},
        {QStringLiteral("selectedbkcolor"), attr::Field(&COptionUI::m_selectedBkColor)},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CButtonUI::ApplyAttribute(name, value);
}

bool COptionUI::Activate() {
    if (!CButtonUI::Activate())
        return false;
    if (!m_group.empty())
        Selected(true);
    else
        Selected(!m_selected);
    return true;
}

void COptionUI::Selected(bool selected, bool triggerEvent) {
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
    if (m_manager == nullptr)
        return;
    if (!m_group.empty()) {
        if (!m_selected)
            return;
        for (CControlUI* c : m_manager->FindControlsByGroup(m_group)) {
            if (c != this)
                static_cast<COptionUI*>(c)->Selected(false, triggerEvent);
        }
    }
    if (triggerEvent)
        m_manager->SendNotify(this, L"selectchanged", m_selected ? 1 : 0, 0);
}

QString COptionUI::CurrentImage() const {
    if (m_selected && IsEnabled()) {
        if ((m_hot || m_pushed) && !m_selectedHotImage.isEmpty())
            return m_selectedHotImage;
        if (!m_selectedImage.isEmpty())
            return m_selectedImage;
    }
    return CButtonUI::CurrentImage();
}

QColor COptionUI::CurrentTextColor() const {
    if (m_selected && IsEnabled() && m_selectedTextColor.isValid())
        return m_selectedTextColor;
    return CButtonUI::CurrentTextColor();
}

// --------------------------------------------------------------- CProgressUI

bool CProgressUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CProgressUI> kTable = {
        {QStringLiteral("value"), attr::Call(&CProgressUI::SetValue)},
        {QStringLiteral("min"), attr::Field(&CProgressUI::m_min)},
        {QStringLiteral("max"), attr::Field(&CProgressUI::m_max)},
        {QStringLiteral("foreimage"), attr::Field(&CProgressUI::m_foreImage)},
        {QStringLiteral("hor"), attr::Ignored<bool>()},  // horizontal bars only
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CLabelUI::ApplyAttribute(name, value);
}

void CProgressUI::SetValue(int value) {
    m_value = std::clamp(value, m_min, std::max(m_min, m_max));
    update();
}

void CProgressUI::PaintStatusImage(QPainter& p) {
    if (m_max <= m_min)
        return;
    const int w = width() * (m_value - m_min) / (m_max - m_min);
    if (w <= 0)
        return;
    p.save();
    p.setClipRect(QRect(0, 0, w, height()), Qt::IntersectClip);
    DrawImage(p, m_foreImage);
    p.restore();
}

}  // namespace kelsor::ui
