#include "platform/ui/Pictures.h"

#include <QBuffer>
#include <QMovie>
#include <QPainter>
#include <QPainterPath>

#include "platform/ui/Attributes.h"
#include "platform/ui/SkinArchive.h"
#include "platform/ui/UiLog.h"

namespace kelsor::ui {

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
             gif.LoadMovie();
         })},
        {QStringLiteral("autoplay"), attr::Field(&CGifAnimUI::m_autoPlay)},
        {QStringLiteral("autosize"), attr::Ignored<bool>()},  // drawn at its own size
    };
    if (const auto taken = kTable.Apply(*this, name, value))
        return *taken;
    return CControlUI::ApplyAttribute(name, value);
}

void CGifAnimUI::LoadMovie() {
    if (m_movie)
        m_movie->stop();
    m_movie.reset();
    m_buffer.reset();
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

}  // namespace kelsor::ui
