#include "jobs/view/PictureCanvas.h"

#include <FreeImage.h>

#include <QObject>
#include <QPainter>
#include <QString>

#include <utility>

#include "jobs/Picture.h"
#include "jobs/PictureFormat.h"

namespace kelsor::jobs {
namespace {

constexpr QRgb kBackground = 0xFFFFFFFF;

// Any FreeImage picture as 32 bits per pixel; null when it cannot be
// brought to that form. Takes ownership of `dib`.
FIBITMAP* To32Bits(FIBITMAP* dib) {
    if (FreeImage_GetImageType(dib) == FIT_BITMAP && FreeImage_GetBPP(dib) == 32) {
        return dib;
    }
    FIBITMAP* converted = FreeImage_ConvertTo32Bits(dib);
    if (converted == nullptr) {
        // 16-bit grey, float and complex pictures first become 8-bit ones;
        // high dynamic range colour is tone-mapped.
        FIBITMAP* standard = FreeImage_ConvertToStandardType(dib, TRUE);
        if (standard == nullptr) {
            standard = FreeImage_ToneMapping(dib, FITMO_DRAGO03);
        }
        if (standard != nullptr) {
            converted = FreeImage_ConvertTo32Bits(standard);
            FreeImage_Unload(standard);
        }
    }
    FreeImage_Unload(dib);
    return converted;
}

PictureKind KindOf(int format) {
    switch (format) {
        case ImageFormatIco:
            return PictureKind::Ico;
        case ImageFormatPng:
            return PictureKind::Png;
        default:
            return PictureKind::Other;
    }
}

}  // namespace

PictureCanvas::PictureCanvas() : m_uiContext(std::make_unique<QObject>()) {}

PictureCanvas::~PictureCanvas() {
    StopAnimation();
    // Frames still queued for the UI thread are dropped with their context.
    m_uiContext.reset();
    ReleasePicture();
}

void PictureCanvas::StopAnimation() {
    m_stopRequested = true;
    if (m_animation.joinable()) {
        m_animation.join();
    }
    m_stopRequested = false;
}

void PictureCanvas::WaitForAnimation() {
    if (m_animation.joinable()) {
        m_animation.join();
    }
}

void PictureCanvas::ReleasePicture() {
    std::lock_guard lock(m_mutex);
    // A frame of the old picture still waiting for the UI thread is void.
    m_pending = CanvasFrame();
    m_picture = QImage();
    if (m_decoded != nullptr) {
        FreeImage_Unload(m_decoded);
        m_decoded = nullptr;
    }
    m_state.loaded = false;
}

bool PictureCanvas::LoadPicture(const std::wstring& path) {
    Picture decoded;
    decoded.Load(path, ImageFormatFromExtension(path));
    return LoadPicture(decoded);
}

bool PictureCanvas::LoadPicture(Picture& decoded) {
    // The animation reads the picture's rows: it must end first.
    StopAnimation();
    ReleasePicture();
    const int format = decoded.Format();
    FIBITMAP* taken = decoded.TakeBitmap();
    if (taken == nullptr) {
        return false;
    }
    FIBITMAP* dib = To32Bits(taken);
    if (dib == nullptr) {
        return false;
    }
    const PictureKind kind = KindOf(format);
    const int width = static_cast<int>(FreeImage_GetWidth(dib));
    const int height = static_cast<int>(FreeImage_GetHeight(dib));
    // FreeImage keeps rows bottom-up; Qt wants them top-down.
    FreeImage_FlipVertical(dib);
    QImage::Format qtFormat = QImage::Format_RGB32;
    if (kind == PictureKind::Other) {
        // Only PNG and ICO pictures are drawn with transparency.
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(FreeImage_GetScanLine(dib, y));
            for (int x = 0; x < width; ++x) {
                row[x] |= 0xFF000000u;
            }
        }
    } else {
        FreeImage_PreMultiplyWithAlpha(dib);
        qtFormat = QImage::Format_ARGB32_Premultiplied;
    }

    std::lock_guard lock(m_mutex);
    m_decoded = dib;
    m_picture = QImage(FreeImage_GetBits(dib), width, height,
                       static_cast<qsizetype>(FreeImage_GetPitch(dib)), qtFormat);
    m_state.kind = kind;
    m_state.imageWidth = width;
    m_state.imageHeight = height;
    m_state.placement = CanvasPlacement{0, 0, width, height};
    m_state.scale = 1.0;
    m_state.shownScale = 1.0;
    m_state.loaded = true;
    return true;
}

void PictureCanvas::SetCanvasSize(QSize size) {
    std::lock_guard lock(m_mutex);
    m_state.canvasWidth = size.width();
    m_state.canvasHeight = size.height();
}

QImage PictureCanvas::Render(const QImage& picture, QSize size, QRect target) {
    QImage frame(size, QImage::Format_ARGB32_Premultiplied);
    frame.fill(kBackground);
    if (!picture.isNull() && !target.isEmpty()) {
        QPainter painter(&frame);
        // Bilinear scaling, as the platform's default drawing does.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, picture, picture.rect());
    }
    return frame;
}

CanvasFrame PictureCanvas::NextFrame(int originX, int originY, int drawnWidth, int drawnHeight,
                                     double scale) {
    CanvasFrame frame;
    frame.originX = originX;
    frame.originY = originY;
    frame.drawnWidth = drawnWidth;
    frame.drawnHeight = drawnHeight;
    frame.scale = scale;
    frame.serial = ++m_nextSerial;
    return frame;
}

void PictureCanvas::RenderFrame(CanvasFrame& frame, QSize size) const {
    if (!size.isEmpty()) {
        frame.image =
            Render(m_picture, size,
                   QRect(frame.originX, frame.originY, frame.drawnWidth, frame.drawnHeight));
    }
}

void PictureCanvas::Paint(QSize viewSize) {
    CanvasFrame frame;
    {
        std::lock_guard lock(m_mutex);
        CentreIfUnplaced(m_state.placement, viewSize.width(), viewSize.height());
        frame = m_state.loaded
                    ? NextFrame(m_state.placement.originX, m_state.placement.originY,
                                DrawnExtent(m_state.imageWidth, m_state.scale),
                                DrawnExtent(m_state.imageHeight, m_state.scale), m_state.scale)
                    : NextFrame(0, 0, 0, 0, 0.0);
    }
    // With nothing decoded the view shows its plain background.
    if (!m_picture.isNull()) {
        RenderFrame(frame, viewSize);
    }
    Publish(std::move(frame));
}

void PictureCanvas::FitToWidth(QSize viewSize) {
    CanvasFrame frame;
    {
        std::lock_guard lock(m_mutex);
        if (!m_state.loaded) {
            return;
        }
        const FitResult fit = FitPlacement(viewSize.width(), viewSize.height(), m_state.imageWidth,
                                           m_state.imageHeight);
        m_state.placement = fit.placement;
        m_state.scale = fit.scale;
        m_state.shownScale = fit.scale;
        frame = NextFrame(fit.placement.originX, fit.placement.originY, fit.placement.shownWidth,
                          fit.placement.shownHeight, fit.scale);
    }
    RenderFrame(frame, viewSize);
    Publish(std::move(frame));
}

void PictureCanvas::ZoomBy(QPoint /*point*/, int delta) {
    bool start = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_state.loaded) {
            return;
        }
        // Each zoom starts from the last target, not from where the previous
        // animation stopped.
        m_state.shownScale = m_state.scale;
        m_state.scale = ZoomTarget(m_state.scale, delta);
        if (!m_state.animating) {
            m_state.animating = true;
            start = true;
        }
    }
    // A running animation reads the target at every frame and follows it.
    if (start) {
        if (m_animation.joinable()) {
            m_animation.join();  // the previous animation has already finished
        }
        const ZoomDirection direction = DirectionOf(delta);
        m_animation = std::thread([this, direction] { RunAnimation(direction); });
    }
}

void PictureCanvas::RunAnimation(ZoomDirection direction) {
    for (;;) {
        CanvasFrame frame;
        QSize size;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopRequested ||
                !AnimationContinues(direction, m_state.scale, m_state.shownScale)) {
                m_state.animating = false;
                return;
            }
            AnimationStep(direction, m_state.shownScale, m_state.placement, m_state.imageWidth,
                          m_state.imageHeight);
            ++m_animationFrames;
            frame = NextFrame(m_state.placement.originX, m_state.placement.originY,
                              m_state.placement.shownWidth, m_state.placement.shownHeight,
                              m_state.shownScale);
            size = QSize(m_state.canvasWidth, m_state.canvasHeight);
        }
        // Rendering happens outside the lock so that the UI thread is never
        // kept waiting for a frame; the picture cannot change meanwhile.
        RenderFrame(frame, size);
        // Only the newest frame waits for the UI thread; a slow UI skips
        // frames rather than queueing them all.
        bool post = false;
        {
            std::lock_guard lock(m_mutex);
            m_pending = std::move(frame);
            post = !m_deliveryPosted;
            m_deliveryPosted = true;
        }
        if (post) {
            QMetaObject::invokeMethod(
                m_uiContext.get(), [this] { DeliverPending(); }, Qt::QueuedConnection);
        }
    }
}

void PictureCanvas::DeliverPending() {
    CanvasFrame frame;
    {
        std::lock_guard lock(m_mutex);
        m_deliveryPosted = false;
        frame = std::move(m_pending);
        m_pending = CanvasFrame();
    }
    Publish(std::move(frame));
}

void PictureCanvas::Publish(CanvasFrame frame) {
    std::function<void()> handler;
    {
        std::lock_guard lock(m_mutex);
        // A frame overtaken by a newer one (e.g. a paint during an
        // animation) is dropped.
        if (frame.serial <= m_latest.serial) {
            return;
        }
        m_latest = std::move(frame);
        handler = m_frameHandler;
    }
    if (handler) {
        handler();
    }
}

bool PictureCanvas::BeginDrag(QPoint point) {
    std::lock_guard lock(m_mutex);
    if (!PointOnPicture(m_state.placement, point.x(), point.y())) {
        return false;
    }
    m_state.dragging = true;
    m_dragOffsetX = point.x() - m_state.placement.originX;
    m_dragOffsetY = point.y() - m_state.placement.originY;
    return true;
}

void PictureCanvas::DragTo(QPoint point, QRect clipBox) {
    CanvasFrame frame;
    QSize size;
    {
        std::lock_guard lock(m_mutex);
        // Outside the view the picture waits; the drag itself goes on.
        if (!m_state.dragging ||
            !DragPointInside(point.x(), point.y(), m_state.canvasWidth, m_state.canvasHeight,
                             clipBox.left(), clipBox.top())) {
            return;
        }
        m_state.placement.originX = point.x() - m_dragOffsetX;
        m_state.placement.originY = point.y() - m_dragOffsetY;
        frame = NextFrame(m_state.placement.originX, m_state.placement.originY,
                          DrawnExtent(m_state.imageWidth, m_state.shownScale),
                          DrawnExtent(m_state.imageHeight, m_state.shownScale), m_state.shownScale);
        size = QSize(m_state.canvasWidth, m_state.canvasHeight);
    }
    RenderFrame(frame, size);
    Publish(std::move(frame));
}

void PictureCanvas::EndDrag() {
    std::lock_guard lock(m_mutex);
    m_state.dragging = false;
}

void PictureCanvas::SetFrameHandler(std::function<void()> handler) {
    std::lock_guard lock(m_mutex);
    m_frameHandler = std::move(handler);
}

CanvasFrame PictureCanvas::LatestFrame() const {
    std::lock_guard lock(m_mutex);
    return m_latest;
}

CanvasState PictureCanvas::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::uint64_t PictureCanvas::AnimationFrameCount() const {
    std::lock_guard lock(m_mutex);
    return m_animationFrames;
}

}  // namespace kelsor::jobs
