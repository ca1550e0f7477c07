#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <string>

#include "jobs/view/PictureCanvas.h"
#include "jobs/view/RectTracker.h"
#include "pages/CutOverlay.h"
#include "platform/ui/UiLib.h"

class QMouseEvent;

namespace kelsor::jobs {

// The picture area of the single and screen pages: shows the picture and
// lets the user move and zoom it (move mode) or mark a part of it for
// recognition (cut mode). A cut is taken from the screen pixels under the
// view at the moment cut mode is entered, so it has the displayed resolution.
class SingleOCRView : public ui::WindowImplBase, private SelectionMouse {
public:
    // The screen pixels of `area` (screen coordinates), or a null image when
    // the screen cannot be read.
    using ScreenGrabber = std::function<QImage(const QRect& area)>;

    SingleOCRView();
    ~SingleOCRView() override;

    // Loads the picture, shows the view and paints it.
    void ShowPicture(const std::wstring& path);
    // The same with a picture decoded already (taken over, left empty).
    void ShowPicture(Picture& decoded);
    // Paints the canvas's current frame.
    void PaintPicture();
    void EnterCutMode();
    // Writes the selected part of the grab as a JPEG; with no selection the
    // target is removed instead, so that an earlier cut is never taken for
    // this one.
    void SaveCut(const std::wstring& target);
    void ClearCut();
    // Move mode only.
    void ZoomIn();
    void ZoomOut();
    void ZoomBy(QPoint point, int delta);
    void FitToWidth();

    bool IsMoveMode() const { return m_moveMode != 0; }
    void SetMoveMode(bool moveMode) { m_moveMode = moveMode ? 1 : 0; }
    PictureCanvas& Canvas() { return m_canvas; }
    const CViewRectTracker& Tracker() const { return m_tracker; }
    bool OverlayShown() const { return m_overlayShown != 0; }
    const QImage& Grab() const { return m_grab; }

    // Test seam: where screen pixels come from (the primary screen by
    // default). Process-wide; an empty function restores the default.
    static void SetScreenGrabber(ScreenGrabber grabber);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"SingleOCRView"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"SingleOCRView.xml"; }
    void InitWindow() override;
    bool HostEvent(QEvent* event) override;

private:
    void Paint();
    void OnPress(QPoint p) override;
    void OnMove(QPoint p) override;
    void OnRelease() override;
    void UpdateCursor(QPoint p);
    QImage GrabUnderView() const;
    QSize ClientSize() const;

    int m_moveMode = 1;
    CViewRectTracker m_tracker;
    int m_overlayShown = 0;
    SelectionGesture m_gesture;
    int m_paintWidth = 0;
    int m_paintHeight = 0;
    // The screen from the view's top-left corner on, as it was when cut mode
    // was last entered.
    QImage m_grab;
    // Last member: its animation thread is joined before anything above goes.
    PictureCanvas m_canvas;
};

}  // namespace kelsor::jobs
