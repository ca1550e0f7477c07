#include "platform/ui/Widgets.h"

#include <QBuffer>
#include <QLineEdit>
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

CEditUI::CEditUI() : m_edit(new QLineEdit(this)) {
    m_edit->setFrame(false);
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    ApplyLook();
}

bool CEditUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CEditUI> kTable = {
        {QStringLiteral("readonly"), attr::Call(&CEditUI::SetReadOnly)},
        {QStringLiteral("normalimage"), attr::Field(&CEditUI::m_normalImage)},
        {QStringLiteral("hotimage"), attr::Field(&CEditUI::m_hotImage)},
        {QStringLiteral("focusedimage"), attr::Field(&CEditUI::m_hotImage)},
        {QStringLiteral("disabledimage"), attr::Field(&CEditUI::m_disabledImage)},
        {QStringLiteral("nativebkcolor"), attr::Ignored<QColor>()},
        {QStringLiteral("maxchar"),
         attr::Parsed<int>([](CEditUI& edit, int length) { edit.m_edit->setMaxLength(length); })},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    const bool ok = CLabelUI::ApplyAttribute(name, value);
    ApplyLook();
    return ok;
}

CDuiString CEditUI::GetText() const {
    return m_edit->text().toStdWString();
}

void CEditUI::SetText(const CDuiString& text) {
    m_text = text;
    m_edit->setText(ToQString(text));
    m_edit->setCursorPosition(0);
}

void CEditUI::SetEnabled(bool enabled) {
    CLabelUI::SetEnabled(enabled);
    ApplyLook();
}

void CEditUI::SetReadOnly(bool readOnly) {
    m_edit->setReadOnly(readOnly);
}

bool CEditUI::IsReadOnly() const {
    return m_edit->isReadOnly();
}

void CEditUI::SetManager(CPaintManagerUI* manager) {
    CLabelUI::SetManager(manager);
    ApplyLook();
}

void CEditUI::ApplyLook() {
    m_edit->setFont(ResolveFont(m_font));
    const QColor c =
        (!IsEnabled() && m_disabledTextColor.isValid()) ? m_disabledTextColor : m_textColor;
    m_edit->setStyleSheet(QStringLiteral("QLineEdit{background:transparent;border:none;color:%1;}")
                              .arg(TextColorCss(c)));
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

void CEditUI::resizeEvent(QResizeEvent*) {
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

void CEditUI::PaintStatusImage(QPainter& p) {
    QString img = m_normalImage;
    if (!IsEnabled() && !m_disabledImage.isEmpty())
        img = m_disabledImage;
    else if (m_edit->hasFocus() && !m_hotImage.isEmpty())
        img = m_hotImage;
    DrawImage(p, img);
}

// --------------------------------------------------------------- CRichEditUI

CRichEditUI::CRichEditUI() : m_edit(new QPlainTextEdit(this)) {
    m_edit->setFrameShape(QFrame::NoFrame);
    m_edit->setVerticalScrollBar(new SkinScrollBar(Qt::Vertical));
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textStyle = DT_LEFT | DT_WORDBREAK;
    ApplyLook();
}

bool CRichEditUI::ApplyAttribute(const QString& name, const QString& value) {
    static const AttributeTable<CRichEditUI> kTable = {
        {QStringLiteral("readonly"), attr::Call(&CRichEditUI::SetReadOnly)},
        {QStringLiteral("vscrollbar"), attr::Parsed<bool>([](CRichEditUI& edit, bool shown) {
             edit.m_edit->setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAsNeeded
                                                           : Qt::ScrollBarAlwaysOff);
         })},
        {QStringLiteral("multiline"), attr::Parsed<bool>([](CRichEditUI& edit, bool multiline) {
             if (!multiline)
                 edit.m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
         })},
        // The box always scrolls by itself, takes Return and holds plain text.
        {QStringLiteral("autovscroll"), attr::Ignored<bool>()},
        {QStringLiteral("wantreturn"), attr::Ignored<bool>()},
        {QStringLiteral("rich"), attr::Ignored<bool>()},
        {QStringLiteral("hscrollbar"), attr::Ignored<bool>()},
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    const bool ok = CLabelUI::ApplyAttribute(name, value);
    ApplyLook();
    return ok;
}

CDuiString CRichEditUI::GetText() const {
    return m_edit->toPlainText().toStdWString();
}

void CRichEditUI::SetText(const CDuiString& text) {
    m_text = text;
    // CR LF line ends show as one break.
    QString t = ToQString(text);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_edit->setPlainText(t);
}

void CRichEditUI::SetReadOnly(bool readOnly) {
    m_edit->setReadOnly(readOnly);
}

bool CRichEditUI::IsReadOnly() const {
    return m_edit->isReadOnly();
}

void CRichEditUI::SetManager(CPaintManagerUI* manager) {
    CLabelUI::SetManager(manager);
    if (auto* bar = dynamic_cast<SkinScrollBar*>(m_edit->verticalScrollBar()))
        bar->SetManager(manager);
    ApplyLook();
}

void CRichEditUI::ApplyLook() {
    m_edit->setFont(ResolveFont(m_font));
    m_edit->setStyleSheet(
        QStringLiteral("QPlainTextEdit{background:transparent;border:none;color:%1;"
                       "selection-background-color:#2E73E4;selection-color:#FFFFFF;}")
            .arg(TextColorCss(m_textColor)));
    m_edit->viewport()->setAutoFillBackground(false);
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

void CRichEditUI::resizeEvent(QResizeEvent*) {
    m_edit->setGeometry(rect().marginsRemoved(m_textPadding));
}

}  // namespace kelsor::ui
