#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "jobs/view/CanvasMath.h"

struct FIBITMAP;
class QObject;

namespace kelsor {
class Picture;
}

namespace kelsor::jobs {

// Kinds of picture drawn with their alpha channel (others are drawn opaque).
enum class PictureKind { Other = 0, Png = 2, Ico = 3 };

// One rendered view: the whole canvas with the picture drawn on white.
struct CanvasFrame {
    QImage image;
    int originX = 0;
    int originY = 0;
    int drawnWidth = 0;
    int drawnHeight = 0;
    double scale = 0.0;
    std::uint64_t serial = 0;
};

// Everything the canvas keeps about placement and scale, read atomically.
struct CanvasState {
    int imageWidth = 0;
    int imageHeight = 0;
    CanvasPlacement placement;
    int canvasWidth = 0;
    int canvasHeight = 0;
    double scale = 1.0;
    double shownScale = 1.0;
    PictureKind kind = PictureKind::Other;
    bool loaded = false;
    bool dragging = false;
    bool animating = false;
};

// The picture engine of the image view: decodes one picture, keeps its
// placement and scale and renders frames off-screen. Frames are handed to the
// thread that created the canvas (the UI thread) and shown by the view, which
// only paints the latest one. The zoom animation runs on its own thread, one
// at a time; the canvas stops and joins it before the picture changes and on
// destruction.
class PictureCanvas {
public:
    PictureCanvas();
    ~PictureCanvas();
    PictureCanvas(const PictureCanvas&) = delete;
    PictureCanvas& operator=(const PictureCanvas&) = delete;

    // Decodes the picture through the program's one guarded decoder (its
    // formats and size limits); on success it is shown at natural size,
    // centred at the next Paint. Returns whether a picture is loaded.
    bool LoadPicture(const std::wstring& path);
    // The same with a picture decoded already; takes its bitmap over (the
    // picture is left empty).
    bool LoadPicture(Picture& decoded);
    // The view's client size, set once after the view is created.
    void SetCanvasSize(QSize size);
    // Renders at the current placement and target scale (centring a picture
    // not placed yet); with no picture the latest frame becomes empty.
    void Paint(QSize viewSize);
    void FitToWidth(QSize viewSize);
    // Changes the target scale by delta x 0.06 / 160 and animates towards it.
    // The point is accepted for the wheel's sake; the zoom keeps the centre.
    void ZoomBy(QPoint point, int delta);
    // Starts a drag when the point is on the picture (edges included).
    bool BeginDrag(QPoint point);
    void DragTo(QPoint point, QRect clipBox);
    void EndDrag();

    // Called on the canvas's thread whenever a new latest frame is there.
    void SetFrameHandler(std::function<void()> handler);
    CanvasFrame LatestFrame() const;
    CanvasState State() const;
    // Frames computed by animations so far (for diagnostics and tests).
    std::uint64_t AnimationFrameCount() const;
    // Blocks until a running animation has ended (its frames may still be on
    // their way to the UI thread).
    void WaitForAnimation();

private:
    void StopAnimation();
    void ReleasePicture();
    void RunAnimation(ZoomDirection direction);
    void Publish(CanvasFrame frame);
    void DeliverPending();
    static QImage Render(const QImage& picture, QSize size, QRect target);
    // A frame with the next serial (call under m_mutex).
    CanvasFrame NextFrame(int originX, int originY, int drawnWidth, int drawnHeight, double scale);
    // Draws the picture into `frame` at its geometry on a canvas of `size`.
    void RenderFrame(CanvasFrame& frame, QSize size) const;

    mutable std::mutex m_mutex;  // guards everything below but m_animation
    CanvasState m_state;
    int m_dragOffsetX = 0;
    int m_dragOffsetY = 0;
    FIBITMAP* m_decoded = nullptr;
    QImage m_picture;  // wraps m_decoded's rows, no copy
    CanvasFrame m_latest;
    CanvasFrame m_pending;
    bool m_deliveryPosted = false;
    std::uint64_t m_nextSerial = 0;
    std::uint64_t m_animationFrames = 0;
    std::function<void()> m_frameHandler;
    std::atomic<bool> m_stopRequested{false};
    std::thread m_animation;
    // Lives on the creating thread; posted frame deliveries die with it.
    std::unique_ptr<QObject> m_uiContext;
};

}  // namespace kelsor::jobs
