#include "platform/ui/Widgets.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QStyleOptionSlider>
#include <algorithm>

#include "platform/ui/Attributes.h"
#include "platform/ui/Hover.h"
#include "platform/ui/PaintManager.h"
#include "platform/ui/SkinArchive.h"
#include "platform/ui/SkinScrollBar.h"
#include "platform/ui/UiLog.h"

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

bool SkinScrollBar::event(QEvent* e) {
    TrackHover(*this, *e, m_hot);
    return QScrollBar::event(e);
}

CGifAnimUI::CGifAnimUI() = default;
CGifAnimUI::~CGifAnimUI() {
    if (m_movie)
        m_movie->stop();
}

bool CGifAnimUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CGifAnimUI> kTable = {
        {QStringLiteral("bkimage"),
         attr::Parsed<QString>([](CGifAnimUI& gif, const QString& image) {
             gif.SetBkImage(image);
             gif.ForgetMovie();
         })},
        {QStringLiteral("autoplay"), attr::Field(&CGifAnimUI::m_autoPlay)},
        {QStringLiteral("autosize"), attr::Ignored<bool>()},  // drawn at its own size
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CControlUI::ApplyAttribute(name, value);
}

void CGifAnimUI::ForgetMovie() {
    if (m_movie)
        m_movie->stop();
    m_movie.reset();
    m_buffer.reset();
    m_movieLoaded = false;
}

// Animations are decoded when first shown, not when the window is built:
// most of them (the waiting ones) are never shown in a run.
void CGifAnimUI::EnsureMovie() {
    if (m_movieLoaded)
        return;
    m_movieLoaded = true;
    const ImageRef ref = ParseImageRef(m_bkImage);
    if (!ref.valid)
        return;
    m_bytes = SkinArchive::Instance().Read(ref.file);
    if (m_bytes.isEmpty()) {
        qCWarning(lcKelsorUi) << "missing animation" << ref.file;
        return;
    }
    m_buffer = std::make_unique<QBuffer>(&m_bytes);
    m_buffer->open(QIODevice::ReadOnly);
    m_movie = std::make_unique<QMovie>(m_buffer.get(), QByteArray("gif"));
    m_movie->setCacheMode(QMovie::CacheAll);
    QObject::connect(m_movie.get(), &QMovie::frameChanged, this, [this](int) { update(); });
    m_movie->jumpToFrame(0);
    if (m_autoPlay && IsVisible())
        m_movie->start();
}

void CGifAnimUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (visible && m_autoPlay)
        PlayGif();
    else if (!visible)
        StopGif();
}

void CGifAnimUI::PlayGif() {
    EnsureMovie();
    if (m_movie && m_movie->state() != QMovie::Running)
        m_movie->start();
}

void CGifAnimUI::StopGif() {
    if (m_movie)
        m_movie->stop();
}

bool CGifAnimUI::IsPlaying() const {
    return m_movie && m_movie->state() == QMovie::Running;
}

void CGifAnimUI::PaintBkImage(QPainter& p) {
    EnsureMovie();
    if (!m_movie)
        return;
    const QPixmap frame = m_movie->currentPixmap();
    if (frame.isNull())
        return;
    // Centred at its own size, as the animation is authored for its control.
    const QSize s = frame.size().scaled(size(), Qt::KeepAspectRatio).boundedTo(frame.size());
    const QRect r(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s);
    p.drawPixmap(r, frame);
}

// ---------------------------------------------------------------- CHeadIconUI

bool CHeadIconUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CHeadIconUI> kTable = {
        {QStringLiteral("defaultimage"), attr::Field(&CHeadIconUI::m_defaultImage)},
        {QStringLiteral("autopencolor"), attr::Field(&CHeadIconUI::m_autoPenColor)},
        {QStringLiteral("pencolor"), attr::Field(&CHeadIconUI::m_penColor)},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CButtonUI::ApplyAttribute(name, value);
}

void CHeadIconUI::PaintBkImage(QPainter& p) {
    QPainterPath circle;
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    circle.addEllipse(r);
    p.save();
    p.setClipPath(circle, Qt::IntersectClip);
    if (!DrawImage(p, m_bkImage))
        DrawImage(p, m_defaultImage);
    p.restore();
    // A thin ring keeps a white picture apart from a white background.
    if (m_autoPenColor) {
        p.setPen(QPen(m_penColor, 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r);
    }
}

namespace {

QString TextColorCss(const QColor& c) {
    return c.name(QColor::HexArgb);
}

}  // namespace

namespace {

// A frameless QLineEdit keeps its line this far inside its edges; the text
// drawn before the editor exists sits there too, so it does not move when the
// editor takes over.
const QMargins kLineEditMargins(2, 1, 2, 1);

}  // namespace

CEditUI::CEditUI() {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
}

bool CEditUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CEditUI> kTable = {
        {QStringLiteral("readonly"), attr::Call(&CEditUI::SetReadOnly)},
        {QStringLiteral("normalimage"), attr::Field(&CEditUI::m_normalImage)},
        {QStringLiteral("hotimage"), attr::Field(&CEditUI::m_hotImage)},
        {QStringLiteral("focusedimage"), attr::Field(&CEditUI::m_hotImage)},
        {QStringLiteral("disabledimage"), attr::Field(&CEditUI::m_disabledImage)},
        {QStringLiteral("nativebkcolor"), attr::Ignored<QColor>()},
        {QStringLiteral("maxchar"), attr::Parsed<int>([](CEditUI& edit, int length) {
             edit.m_maxLength = length;
             if (edit.m_edit != nullptr)
                 edit.m_edit->setMaxLength(length);
         })},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    const bool ok = CLabelUI::ApplyAttribute(name, value);
    ApplyLook();
    return ok;
}

QLineEdit* CEditUI::Editor() {
    if (m_edit != nullptr)
        return m_edit;
    m_edit = new QLineEdit(this);
    m_edit->setFrame(false);
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_edit->setReadOnly(m_readOnly);
    if (m_maxLength >= 0)
        m_edit->setMaxLength(m_maxLength);
    m_edit->setText(ToQString(m_text));
    m_edit->setCursorPosition(0);
    setFocusProxy(m_edit);
    ApplyLook();
    m_edit->show();
    update();  // the editor draws the text from now on
    return m_edit;
}

CDuiString CEditUI::GetText() const {
    return m_edit != nullptr ? m_edit->text().toStdWString() : m_text;
}

void CEditUI::SetText(const CDuiString& text) {
    m_text = text;
    if (m_edit != nullptr) {
        m_edit->setText(ToQString(text));
        m_edit->setCursorPosition(0);
    }
    update();
}

void CEditUI::SetEnabled(bool enabled) {
    CLabelUI::SetEnabled(enabled);
    ApplyLook();
}

void CEditUI::SetReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    if (m_edit != nullptr)
        m_edit->setReadOnly(readOnly);
}

void CEditUI::SetManager(CPaintManagerUI* manager) {
    CLabelUI::SetManager(manager);
    ApplyLook();
}

void CEditUI::ApplyLook() {
    if (m_edit == nullptr) {
        update();
        return;
    }
    m_edit->setFont(ResolveFont(m_font));
    m_edit->setStyleSheet(QStringLiteral("QLineEdit{background:transparent;border:none;color:%1;}")
                              .arg(TextColorCss(CurrentTextColor())));
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

void CEditUI::resizeEvent(QResizeEvent*) {
    if (m_edit != nullptr)
        m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

// The click that made the editor also places its cursor; this control holds
// the mouse until that button is let go, so a drag selects in the editor.
void CEditUI::ForwardMouse(QMouseEvent* event) {
    QLineEdit* editor = Editor();
    if (event->type() == QEvent::MouseButtonPress)
        editor->setFocus(Qt::MouseFocusReason);
    QMouseEvent forwarded(event->type(), editor->mapFrom(this, event->position()),
                          event->globalPosition(), event->button(), event->buttons(),
                          event->modifiers());
    QCoreApplication::sendEvent(editor, &forwarded);
}

void CEditUI::mousePressEvent(QMouseEvent* event) {
    ForwardMouse(event);
}

void CEditUI::mouseMoveEvent(QMouseEvent* event) {
    if (m_edit != nullptr)
        ForwardMouse(event);
}

void CEditUI::mouseReleaseEvent(QMouseEvent* event) {
    if (m_edit != nullptr)
        ForwardMouse(event);
}

void CEditUI::focusInEvent(QFocusEvent* event) {
    Editor()->setFocus(event->reason());
}

void CEditUI::PaintText(QPainter& p) {
    if (m_edit != nullptr || m_text.empty())
        return;
    const QFont font = ResolveFont(m_font);
    p.setFont(font);
    p.setPen(CurrentTextColor());
    // Where the editor puts its line: inside its margins, centred in whole
    // pixels.
    const QRect line = rect().marginsRemoved(m_textPadding).marginsRemoved(kLineEditMargins);
    const int top = line.y() + (line.height() - QFontMetrics(font).height() + 1) / 2;
    p.setClipRect(line);
    p.drawText(QRect(line.x(), top, line.width(), line.bottom() - top + 1),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ToQString(m_text));
    p.setClipping(false);
}

void CEditUI::PaintStatusImage(QPainter& p) {
    QString img = m_normalImage;
    if (!IsEnabled() && !m_disabledImage.isEmpty())
        img = m_disabledImage;
    else if (m_edit != nullptr && m_edit->hasFocus() && !m_hotImage.isEmpty())
        img = m_hotImage;
    DrawImage(p, img);
}

// --------------------------------------------------------------- CRichEditUI

namespace {

// CR LF line ends show as one break.
QString PlainText(const CDuiString& text) {
    QString t = ToQString(text);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t;
}

}  // namespace

CRichEditUI::CRichEditUI() {
    m_textStyle = DT_LEFT | DT_WORDBREAK;
}

bool CRichEditUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CRichEditUI> kTable = {
        {QStringLiteral("readonly"), attr::Call(&CRichEditUI::SetReadOnly)},
        {QStringLiteral("vscrollbar"), attr::Field(&CRichEditUI::m_verticalBar)},
        {QStringLiteral("multiline"), attr::Field(&CRichEditUI::m_wrap)},
        // The box always scrolls by itself, takes Return and holds plain text.
        {QStringLiteral("autovscroll"), attr::Ignored<bool>()},
        {QStringLiteral("wantreturn"), attr::Ignored<bool>()},
        {QStringLiteral("rich"), attr::Ignored<bool>()},
        {QStringLiteral("hscrollbar"), attr::Ignored<bool>()},
    };
    if (const auto taken = kTable.Apply(*this, name, value)) {
        ApplyLook();
        return *taken;
    }
    const bool ok = CLabelUI::ApplyAttribute(name, value);
    ApplyLook();
    return ok;
}

QPlainTextEdit* CRichEditUI::Editor() {
    if (m_edit != nullptr)
        return m_edit;
    m_edit = new QPlainTextEdit(this);
    m_edit->setFrameShape(QFrame::NoFrame);
    auto* bar = new SkinScrollBar(Qt::Vertical);
    bar->SetManager(GetManager());
    m_edit->setVerticalScrollBar(bar);
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_edit->setReadOnly(m_readOnly);
    m_edit->setPlainText(PlainText(m_text));
    ApplyLook();
    m_edit->show();
    return m_edit;
}

void CRichEditUI::showEvent(QShowEvent* event) {
    Editor();
    CLabelUI::showEvent(event);
}

CDuiString CRichEditUI::GetText() const {
    return (m_edit != nullptr ? m_edit->toPlainText() : PlainText(m_text)).toStdWString();
}

void CRichEditUI::SetText(const CDuiString& text) {
    m_text = text;
    if (m_edit != nullptr)
        m_edit->setPlainText(PlainText(text));
}

void CRichEditUI::SetReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    if (m_edit != nullptr)
        m_edit->setReadOnly(readOnly);
}

void CRichEditUI::SetManager(CPaintManagerUI* manager) {
    CLabelUI::SetManager(manager);
    if (m_edit != nullptr) {
        if (auto* bar = dynamic_cast<SkinScrollBar*>(m_edit->verticalScrollBar()))
            bar->SetManager(manager);
    }
    ApplyLook();
}

void CRichEditUI::ApplyLook() {
    if (m_edit == nullptr)
        return;
    m_edit->setVerticalScrollBarPolicy(m_verticalBar ? Qt::ScrollBarAsNeeded
                                                     : Qt::ScrollBarAlwaysOff);
    m_edit->setLineWrapMode(m_wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    m_edit->setFont(ResolveFont(m_font));
    m_edit->setStyleSheet(
        QStringLiteral("QPlainTextEdit{background:transparent;border:none;color:%1;"
                       "selection-background-color:#2E73E4;selection-color:#FFFFFF;}")
            .arg(TextColorCss(m_textColor)));
    m_edit->viewport()->setAutoFillBackground(false);
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

void CRichEditUI::resizeEvent(QResizeEvent*) {
    if (m_edit != nullptr)
        m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

}  // namespace kelsor::ui
