#include "pages/SingleOCRView.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdlib>

#include "jobs/FileIo.h"
#include "jobs/PictureUtils.h"
#include "jobs/PixelBuffer.h"
#include "jobs/view/CanvasMath.h"
#include "pages/CutOverlay.h"

namespace kelsor::jobs {
namespace {

SingleOCRView::ScreenGrabber& Grabber() {
    static SingleOCRView::ScreenGrabber grabber;
    return grabber;
}

// The primary screen's pixels inside `area`, placed at their offset from the
// area's corner; null when the screen cannot be read (e.g. no X server).
QImage GrabPrimaryScreen(const QRect& area) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return QImage();
    }
    const QRect geometry = screen->geometry();
    const QRect visible = area & geometry;
    if (visible.isEmpty()) {
        return QImage();
    }
    const QPixmap shot =
        screen->grabWindow(0, visible.x() - geometry.x(), visible.y() - geometry.y(),
                           visible.width(), visible.height());
    if (shot.isNull()) {
        return QImage();
    }
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.drawPixmap(visible.topLeft() - area.topLeft(), shot);
    return image;
}

}  // namespace

SingleOCRView::SingleOCRView() = default;

SingleOCRView::~SingleOCRView() {
    m_canvas.SetFrameHandler({});
}

void SingleOCRView::SetScreenGrabber(ScreenGrabber grabber) {
    Grabber() = std::move(grabber);
}

void SingleOCRView::InitWindow() {
    QWidget* host = GetHWND();
    // The view paints and takes the mouse itself; the layout's empty white
    // layer would only cover it.
    if (ui::CControlUI* root = m_PaintManager.GetRoot()) {
        root->hide();
    }
    host->setAttribute(Qt::WA_OpaquePaintEvent);
    host->setMouseTracking(true);
    m_tracker = CViewRectTracker();
    m_canvas.SetCanvasSize(ClientSize());
    m_canvas.SetFrameHandler([this] {
        if (QWidget* h = GetHWND()) {
            h->update();
        }
    });
}

QSize SingleOCRView::ClientSize() const {
    return GetClientRect().size();
}

void SingleOCRView::ShowPicture(const std::wstring& path) {
    m_canvas.LoadPicture(path);
    ShowWindow(true, false);
    PaintPicture();
}

void SingleOCRView::ShowPicture(Picture& decoded) {
    m_canvas.LoadPicture(decoded);
    ShowWindow(true, false);
    PaintPicture();
}

void SingleOCRView::PaintPicture() {
    m_canvas.Paint(ClientSize());
    if (QWidget* h = GetHWND()) {
        h->update();
    }
}

void SingleOCRView::EnterCutMode() {
    const QSize size = ClientSize();
    m_gesture.Offer(TrackRect{0, 0, size.width(), size.height()});
    m_paintWidth = size.width();
    m_paintHeight = size.height();
    m_grab = GrabUnderView();
    // A fresh tracker: no selection and no bounds, so a selection may be
    // moved partly outside the view.
    m_tracker = CViewRectTracker();
    if (QWidget* h = GetHWND()) {
        h->update();
    }
}

QImage SingleOCRView::GrabUnderView() const {
    QWidget* host = GetHWND();
    if (host == nullptr) {
        return QImage();
    }
    // What is on screen must be the current frame, not one still queued.
    host->repaint();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->size() : ClientSize();
    const QRect area(host->mapToGlobal(QPoint(0, 0)), screenSize.expandedTo(ClientSize()));
    QImage shot = Grabber() ? Grabber()(area) : GrabPrimaryScreen(area);
    if (!shot.isNull()) {
        return shot.convertToFormat(QImage::Format_RGB32);
    }
    // Without a readable screen the view's own frame is what lies under it.
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    const CanvasFrame frame = m_canvas.LatestFrame();
    if (!frame.image.isNull()) {
        QPainter painter(&image);
        painter.drawImage(QPoint(0, 0), frame.image);
    }
    return image;
}

void SingleOCRView::SaveCut(const std::wstring& target) {
    // An earlier cut must never stand in for this one.
    RemoveFile(target);
    const TrackRect n = NormalizedRect(m_tracker.selection);
    if (m_tracker.selection.IsAllZero() || n.Width() == 0 || n.Height() == 0 || m_grab.isNull()) {
        return;
    }
    const PixelBuffer buffer{m_grab.constBits(), m_grab.width(), m_grab.height(),
                             static_cast<int>(m_grab.bytesPerLine())};
    SaveBitmapRegionAsJpeg(buffer, n.left, n.top, n.right, n.bottom, target);
}

void SingleOCRView::ClearCut() {
    m_overlayShown = 0;
    m_gesture.End();
    m_tracker.selection = TrackRect{};
    if (QWidget* h = GetHWND()) {
        h->update();
    }
}

void SingleOCRView::ZoomIn() {
    ZoomBy(QPoint(0, 0), kZoomButtonDelta);
}

void SingleOCRView::ZoomOut() {
    ZoomBy(QPoint(0, 0), -kZoomButtonDelta);
}

void SingleOCRView::ZoomBy(QPoint point, int delta) {
    if (m_moveMode != 0) {
        m_canvas.ZoomBy(point, delta);
    }
}

void SingleOCRView::FitToWidth() {
    if (m_moveMode != 0) {
        m_canvas.FitToWidth(ClientSize());
    }
}

bool SingleOCRView::HostEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::Paint:
            Paint();
            return true;
        default:
            return RouteSelectionMouse(event, *this);
    }
}

void SingleOCRView::Paint() {
    QWidget* host = GetHWND();
    QPainter painter(host);
    const bool cutShown =
        m_moveMode == 0 && (m_overlayShown != 0 || !m_tracker.selection.IsAllZero());
    if (cutShown) {
        PaintCutOverlay(painter, m_grab, QSize(m_paintWidth, m_paintHeight), m_tracker.selection,
                        kViewDimAlpha, m_tracker);
        return;
    }
    const CanvasFrame frame = m_canvas.LatestFrame();
    painter.fillRect(host->rect(), Qt::white);
    if (!frame.image.isNull()) {
        painter.drawImage(QPoint(0, 0), frame.image);
    }
}

void SingleOCRView::OnPress(QPoint p) {
    QWidget* host = GetHWND();
    if (m_moveMode != 0) {
        if (m_canvas.BeginDrag(p)) {
            host->setCursor(Qt::PointingHandCursor);
        }
        return;
    }
    // The first press of a cut selects the whole view.
    m_gesture.Press(m_tracker, host, p, !m_tracker.selection.IsAllZero());
    m_overlayShown = 1;
    host->update();
}

void SingleOCRView::OnMove(QPoint p) {
    QWidget* host = GetHWND();
    if (m_moveMode != 0) {
        if (m_canvas.State().dragging) {
            m_canvas.DragTo(p, host->rect());
            host->setCursor(Qt::PointingHandCursor);
        }
        return;
    }
    // The cursor follows the handles whether or not the overlay flag is on:
    // after a rubber band or a handle drag the tracker's loop took the
    // button-up, so the flag stays set while the user already hovers.
    UpdateCursor(p);
    if (m_overlayShown == 0) {
        return;
    }
    // A rubber band from the press point replaces the whole-view choice.
    m_gesture.Move(m_tracker, host, p, true);
    host->repaint();
}

void SingleOCRView::OnRelease() {
    QWidget* host = GetHWND();
    if (m_moveMode != 0) {
        m_canvas.EndDrag();
        host->setCursor(Qt::ArrowCursor);
        return;
    }
    m_overlayShown = 0;
    m_gesture.End();
}

void SingleOCRView::UpdateCursor(QPoint p) {
    QWidget* host = GetHWND();
    const int hit =
        m_tracker.selection.IsAllZero() ? kHitNothing : m_tracker.LocatePoint(p.x(), p.y());
    host->setCursor(hit == kHitNothing ? Qt::ArrowCursor
                                       : TrackerCursorFor(m_tracker.selection, hit));
}

}  // namespace kelsor::jobs
