#include "platform/ui/Controls.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "platform/ui/Attributes.h"
#include "platform/ui/Containers.h"
#include "platform/ui/Hover.h"
#include "platform/ui/PaintManager.h"
#include "platform/ui/UiLog.h"

namespace kelsor::ui {

CControlUI::CControlUI() {
    setAttribute(Qt::WA_NoSystemBackground);
}

CControlUI::~CControlUI() = default;

void CControlUI::SetName(const CDuiString& name) {
    m_name = name;
    setObjectName(ToQString(name));
}

void CControlUI::SetText(const CDuiString& text) {
    if (m_text == text)
        return;
    m_text = text;
    update();
}

CDuiString CControlUI::GetToolTip() const {
    return toolTip().toStdWString();
}

void CControlUI::SetToolTip(const CDuiString& tip) {
    setToolTip(ToQString(tip));
}

void CControlUI::SetVisible(bool visible) {
    if (m_visible == visible)
        return;
    m_visible = visible;
    setVisible(visible);
    NeedParentUpdate();
}

void CControlUI::SetEnabled(bool enabled) {
    m_enabled = enabled;
    setEnabled(enabled);
    update();
}

void CControlUI::SetMouseEnabled(bool enabled) {
    m_mouse = enabled;
    setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
}

CDuiString CControlUI::GetVirtualWnd() const {
    for (const CControlUI* c = this; c != nullptr; c = c->GetParent()) {
        if (!c->m_virtualWnd.empty())
            return c->m_virtualWnd;
    }
    return {};
}

void CControlUI::SetFixedWidth(int width) {
    m_fixedWidth = std::max(0, width);
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int height) {
    m_fixedHeight = std::max(0, height);
    NeedParentUpdate();
}

void CControlUI::SetPadding(const QMargins& padding) {
    m_padding = padding;
    NeedParentUpdate();
}

void CControlUI::SetFloat(bool floating) {
    m_float = floating;
    NeedParentUpdate();
}

void CControlUI::SetFloatPos(const QRect& pos) {
    m_floatPos = pos;
    NeedParentUpdate();
}

// The widget of the control's own window (a child window's, not the
// top-level's).
static const QWidget* OwnWindow(const CControlUI* c) {
    if (c->GetManager() != nullptr && c->GetManager()->GetPaintWindow() != nullptr &&
        c->GetManager()->GetPaintWindow()->isAncestorOf(c))
        return c->GetManager()->GetPaintWindow();
    return c->window();
}

QRect CControlUI::GetPos() const {
    return QRect(mapTo(OwnWindow(this), QPoint(0, 0)), size());
}

void CControlUI::SetPos(const QRect& rect) {
    QPoint origin;
    if (const QWidget* parent = parentWidget())
        origin = parent->mapTo(OwnWindow(this), QPoint(0, 0));
    m_float = true;
    m_fixedWidth = rect.width();
    m_fixedHeight = rect.height();
    SetFloatPos(rect.translated(-origin));
}

CControlUI* CControlUI::GetParent() const {
    // Rows of a list live in its scroll area; their parent is the list body.
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* c = dynamic_cast<CControlUI*>(w))
            return c;
    }
    return nullptr;
}

void CControlUI::SetManager(CPaintManagerUI* manager) {
    m_manager = manager;
}

void CControlUI::NeedParentUpdate() {
    if (auto* parent = dynamic_cast<CContainerUI*>(GetParent()))
        parent->Arrange();
    // A row's height is also the height of the list's scrolling body: a row
    // added to a shown list gets its height after it is added, and would be
    // cut off below the body's old end.
    if (auto* row = dynamic_cast<CListContainerElementUI*>(this)) {
        if (CListUI* list = row->GetOwner())
            list->Arrange();
    }
    update();
}

bool CControlUI::Activate() {
    return m_visible && m_enabled;
}

LayoutItem CControlUI::GetLayoutItem() const {
    LayoutItem item;
    item.fixedWidth = m_fixedWidth;
    item.fixedHeight = m_fixedHeight;
    item.padding = m_padding;
    item.visible = m_visible;
    item.floating = m_float;
    item.floatPos = m_floatPos;
    return item;
}

void CControlUI::SetBkColor(const QColor& color) {
    m_bkColor = color;
    update();
}

void CControlUI::SetBkImage(const QString& image) {
    m_bkImage = image;
    update();
}

void CControlUI::SetAttribute(const CDuiString& name, const CDuiString& value) {
    if (!ApplyAttribute(ToQString(name), ToQString(value))) {
        qCWarning(lcKelsorUi) << "unsupported attribute" << ToQString(name) << "="
                              << ToQString(value) << "on" << GetClass() << ToQString(m_name);
    }
}

bool CControlUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CControlUI> kTable = {
        {QStringLiteral("name"), attr::Call(&CControlUI::SetName)},
        {QStringLiteral("text"), attr::Call(&CControlUI::SetText)},
        {QStringLiteral("tooltip"), attr::Call(&CControlUI::SetToolTip)},
        {QStringLiteral("userdata"), attr::Call(&CControlUI::SetUserData)},
        {QStringLiteral("virtualwnd"), attr::Call(&CControlUI::SetVirtualWnd)},
        {QStringLiteral("visible"), attr::Call(&CControlUI::SetVisible)},
        {QStringLiteral("enabled"), attr::Call(&CControlUI::SetEnabled)},
        {QStringLiteral("mouse"), attr::Call(&CControlUI::SetMouseEnabled)},
        {QStringLiteral("cursor"), &CControlUI::SetCursorName},
        {QStringLiteral("width"), attr::Call(&CControlUI::SetFixedWidth)},
        {QStringLiteral("height"), attr::Call(&CControlUI::SetFixedHeight)},
        {QStringLiteral("padding"), attr::Call(&CControlUI::SetPadding)},
        {QStringLiteral("float"), attr::Call(&CControlUI::SetFloat)},
        {QStringLiteral("pos"), attr::Parsed<QRect>(&CControlUI::SetMarkupPos)},
        {QStringLiteral("bkcolor"), attr::Call(&CControlUI::SetBkColor)},
        {QStringLiteral("bkimage"), attr::Call(&CControlUI::SetBkImage)},
        {QStringLiteral("bordercolor"), attr::Field(&CControlUI::m_borderColor)},
        {QStringLiteral("bordersize"), attr::Field(&CControlUI::m_borderSize)},
        {QStringLiteral("borderround"), attr::Field(&CControlUI::m_borderRound)},
    };
    return kTable.Apply(*this, name, value).value_or(false);
}

bool CControlUI::SetCursorName(CControlUI& control, const QString& name) {
    static const QHash<QString, Qt::CursorShape> kShapes = {
        {QStringLiteral("hand"), Qt::PointingHandCursor},
        {QStringLiteral("arrow"), Qt::ArrowCursor},
        {QStringLiteral("ibeam"), Qt::IBeamCursor},
    };
    const auto it = kShapes.constFind(name);
    if (it == kShapes.constEnd())
        return false;
    control.setCursor(*it);
    return true;
}

void CControlUI::SetMarkupPos(CControlUI& control, const QRect& pos) {
    // "l,t,r,b" also gives the size when right and bottom lie past left and top.
    control.SetFloatPos(pos);
    if (pos.width() > 0)
        control.m_fixedWidth = pos.width();
    if (pos.height() > 0)
        control.m_fixedHeight = pos.height();
}

QFont CControlUI::ResolveFont(int index) const {
    if (m_manager == nullptr)
        return font();
    return index < 0 ? m_manager->GetDefaultFont() : m_manager->GetFont(index);
}

bool CControlUI::DrawImage(QPainter& p, const QString& image, const QRect& rect) {
    if (image.isEmpty() || m_manager == nullptr)
        return false;
    return CRenderEngine::DrawImage(p, m_manager, rect.isNull() ? this->rect() : rect, image);
}

void CControlUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_borderRound.isEmpty()) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), m_borderRound.width(), m_borderRound.height());
        p.setClipPath(clip);
    }
    PaintBkColor(p);
    PaintBkImage(p);
    PaintStatusImage(p);
    PaintText(p);
    PaintBorder(p);
}

void CControlUI::PaintBkColor(QPainter& p) {
    if (m_bkColor.isValid() && m_bkColor.alpha() > 0)
        p.fillRect(rect(), m_bkColor);
}

void CControlUI::PaintBkImage(QPainter& p) {
    DrawImage(p, m_bkImage);
}

void CControlUI::PaintBorder(QPainter& p) {
    if (m_borderSize <= 0 || !m_borderColor.isValid())
        return;
    QPen pen(m_borderColor, m_borderSize);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const qreal half = m_borderSize / 2.0;
    const QRectF r = QRectF(rect()).adjusted(half, half, -half, -half);
    if (!m_borderRound.isEmpty())
        p.drawRoundedRect(r, m_borderRound.width(), m_borderRound.height());
    else
        p.drawRect(r);
}

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

QColor CLabelUI::CurrentTextColor() const {
    return !IsEnabled() && m_disabledTextColor.isValid() ? m_disabledTextColor : m_textColor;
}

void CLabelUI::PaintText(QPainter& p) {
    PaintTextWith(p, CurrentTextColor());
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

bool CButtonUI::event(QEvent* e) {
    TrackHover(*this, *e, m_hot);
    return CLabelUI::event(e);
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
