#include "platform/ui/Controls.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "platform/ui/Markup.h"
#include "platform/ui/PaintManager.h"
#include "platform/ui/UiLog.h"

namespace kelsor::ui {

namespace {
QString Q(const CDuiString& s) {
    return QString::fromStdWString(s);
}
CDuiString W(const QString& s) {
    return s.toStdWString();
}
}  // namespace

// ---------------------------------------------------------------- CControlUI

CControlUI::CControlUI() {
    setAttribute(Qt::WA_NoSystemBackground);
}

CControlUI::~CControlUI() = default;

void CControlUI::SetName(const CDuiString& name) {
    m_name = name;
    setObjectName(Q(name));
}

void CControlUI::SetText(const CDuiString& text) {
    if (m_text == text)
        return;
    m_text = text;
    update();
}

CDuiString CControlUI::GetToolTip() const {
    return W(toolTip());
}

void CControlUI::SetToolTip(const CDuiString& tip) {
    setToolTip(Q(tip));
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
    if (!ApplyAttribute(Q(name), Q(value))) {
        qCWarning(lcKelsorUi) << "unsupported attribute" << Q(name) << "=" << Q(value) << "on"
                              << GetClass() << Q(m_name);
    }
}

bool CControlUI::ApplyAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("name")) {
        SetName(W(value));
    } else if (name == QLatin1String("text")) {
        SetText(W(value));
    } else if (name == QLatin1String("tooltip")) {
        SetToolTip(W(value));
    } else if (name == QLatin1String("visible")) {
        const auto b = ParseBool(value);
        if (!b)
            return false;
        SetVisible(*b);
    } else if (name == QLatin1String("enabled")) {
        const auto b = ParseBool(value);
        if (!b)
            return false;
        SetEnabled(*b);
    } else if (name == QLatin1String("mouse")) {
        const auto b = ParseBool(value);
        if (!b)
            return false;
        SetMouseEnabled(*b);
    } else if (name == QLatin1String("cursor")) {
        if (value == QLatin1String("hand"))
            setCursor(Qt::PointingHandCursor);
        else if (value == QLatin1String("arrow"))
            setCursor(Qt::ArrowCursor);
        else if (value == QLatin1String("ibeam"))
            setCursor(Qt::IBeamCursor);
        else
            return false;
    } else if (name == QLatin1String("width")) {
        const auto v = ParseInt(value);
        if (!v)
            return false;
        SetFixedWidth(*v);
    } else if (name == QLatin1String("height")) {
        const auto v = ParseInt(value);
        if (!v)
            return false;
        SetFixedHeight(*v);
    } else if (name == QLatin1String("padding")) {
        const auto m = ParseMargins(value);
        if (!m)
            return false;
        SetPadding(*m);
    } else if (name == QLatin1String("float")) {
        const auto b = ParseBool(value);
        if (!b)
            return false;
        SetFloat(*b);
    } else if (name == QLatin1String("pos")) {
        const auto m = ParseMargins(value);
        if (!m)
            return false;
        SetFloatPos(QRect(QPoint(m->left(), m->top()), QPoint(m->right() - 1, m->bottom() - 1)));
        if (m->right() > m->left())
            m_fixedWidth = m->right() - m->left();
        if (m->bottom() > m->top())
            m_fixedHeight = m->bottom() - m->top();
    } else if (name == QLatin1String("bkcolor")) {
        const auto c = ParseColor(value);
        if (!c)
            return false;
        SetBkColor(*c);
    } else if (name == QLatin1String("bkimage")) {
        SetBkImage(value);
    } else if (name == QLatin1String("bordercolor")) {
        const auto c = ParseColor(value);
        if (!c)
            return false;
        m_borderColor = *c;
    } else if (name == QLatin1String("bordersize")) {
        const auto v = ParseInt(value);
        if (!v)
            return false;
        m_borderSize = *v;
    } else if (name == QLatin1String("borderround")) {
        const auto s = ParseSize(value);
        if (!s)
            return false;
        m_borderRound = *s;
    } else if (name == QLatin1String("userdata")) {
        SetUserData(W(value));
    } else if (name == QLatin1String("virtualwnd")) {
        SetVirtualWnd(W(value));
    } else {
        return false;
    }
    return true;
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

// ------------------------------------------------------------------ CLabelUI

bool CLabelUI::ApplyAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("font")) {
        const auto v = ParseInt(value);
        if (!v)
            return false;
        SetFont(*v);
    } else if (name == QLatin1String("align")) {
        UINT s = m_textStyle & ~(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (value == QLatin1String("left"))
            s |= DT_LEFT;
        else if (value == QLatin1String("center"))
            s |= DT_CENTER;
        else if (value == QLatin1String("right"))
            s |= DT_RIGHT;
        else if (value == QLatin1String("top"))
            s &= ~(DT_VCENTER | DT_BOTTOM);
        else if (value == QLatin1String("bottom"))
            s = (s & ~DT_VCENTER) | DT_BOTTOM;
        else
            return false;
        SetTextStyle(s);
    } else if (name == QLatin1String("valign")) {
        UINT s = m_textStyle & ~(DT_VCENTER | DT_BOTTOM);
        if (value == QLatin1String("vcenter") || value == QLatin1String("center"))
            s |= DT_VCENTER;
        else if (value == QLatin1String("bottom"))
            s |= DT_BOTTOM;
        else if (value != QLatin1String("top"))
            return false;
        SetTextStyle(s);
    } else if (name == QLatin1String("endellipsis")) {
        const auto b = ParseBool(value);
        if (!b)
            return false;
        SetTextStyle(*b ? (m_textStyle | DT_END_ELLIPSIS) : (m_textStyle & ~DT_END_ELLIPSIS));
    } else if (name == QLatin1String("multiline") || name == QLatin1String("wordbreak")) {
        const auto b = ParseBool(value);
        if (!b)
            return false;
        SetTextStyle(*b ? ((m_textStyle & ~DT_SINGLELINE) | DT_WORDBREAK)
                        : ((m_textStyle | DT_SINGLELINE) & ~DT_WORDBREAK));
    } else if (name == QLatin1String("textpadding")) {
        const auto m = ParseMargins(value);
        if (!m)
            return false;
        SetTextPadding(*m);
    } else if (name == QLatin1String("textcolor")) {
        const auto c = ParseColor(value);
        if (!c)
            return false;
        SetTextColor(*c);
    } else if (name == QLatin1String("disabledtextcolor")) {
        const auto c = ParseColor(value);
        if (!c)
            return false;
        m_disabledTextColor = *c;
    } else if (name == QLatin1String("autocalcwidth")) {
        const auto b = ParseBool(value);
        if (!b)
            return false;
        SetAutoCalcWidth(*b);
    } else {
        return CControlUI::ApplyAttribute(name, value);
    }
    return true;
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
    QString text = Q(m_text);
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
    if (name == QLatin1String("normalimage")) {
        m_normalImage = value;
    } else if (name == QLatin1String("hotimage")) {
        m_hotImage = value;
    } else if (name == QLatin1String("pushedimage")) {
        m_pushedImage = value;
    } else if (name == QLatin1String("disabledimage")) {
        m_disabledImage = value;
    } else if (name == QLatin1String("foreimage")) {
        m_foreImage = value;
    } else if (name == QLatin1String("hotforeimage")) {
        m_hotForeImage = value;
    } else if (name == QLatin1String("hottextcolor") || name == QLatin1String("pushedtextcolor") ||
               name == QLatin1String("hotbkcolor")) {
        const auto c = ParseColor(value);
        if (!c)
            return false;
        if (name == QLatin1String("hottextcolor"))
            m_hotTextColor = *c;
        else if (name == QLatin1String("pushedtextcolor"))
            m_pushedTextColor = *c;
        else
            m_hotBkColor = *c;
    } else {
        return CLabelUI::ApplyAttribute(name, value);
    }
    update();
    return true;
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
    if (name == QLatin1String("group")) {
        m_group = W(value);
    } else if (name == QLatin1String("selected")) {
        const auto b = ParseBool(value);
        if (!b)
            return false;
        Selected(*b, false);
    } else if (name == QLatin1String("selectedimage")) {
        m_selectedImage = value;
    } else if (name == QLatin1String("selectedhotimage")) {
        m_selectedHotImage = value;
    } else if (name == QLatin1String("selectedtextcolor") ||
               name == QLatin1String("selectedbkcolor")) {
        const auto c = ParseColor(value);
        if (!c)
            return false;
        (name == QLatin1String("selectedtextcolor") ? m_selectedTextColor : m_selectedBkColor) = *c;
    } else {
        return CButtonUI::ApplyAttribute(name, value);
    }
    update();
    return true;
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
    if (name == QLatin1String("value") || name == QLatin1String("min") ||
        name == QLatin1String("max")) {
        const auto v = ParseInt(value);
        if (!v)
            return false;
        if (name == QLatin1String("value"))
            SetValue(*v);
        else if (name == QLatin1String("min"))
            m_min = *v;
        else
            m_max = *v;
    } else if (name == QLatin1String("foreimage")) {
        m_foreImage = value;
    } else if (name == QLatin1String("hor")) {
        return ParseBool(value).has_value();  // horizontal bars only
    } else {
        return CLabelUI::ApplyAttribute(name, value);
    }
    update();
    return true;
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
