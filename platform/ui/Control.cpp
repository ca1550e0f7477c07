#include "platform/ui/Control.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include "platform/ui/Attributes.h"
#include "platform/ui/Containers.h"
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

}  // namespace kelsor::ui
