#pragma once

#include <QWidget>

#include <functional>
#include <string>

#include "jobs/view/PictureCanvas.h"
#include "jobs/view/RectTracker.h"

namespace kelsor::jobs {

// The picture area: shows the canvas's latest frame and, in cut mode, the
// tracker's frame over it; mouse input goes to the canvas (move mode) or to
// the tracker (cut mode). It holds no logic of its own beyond forwarding.
class PictureView : public QWidget {
public:
    explicit PictureView(QWidget* parent = nullptr);
    ~PictureView() override;

    PictureCanvas& Canvas() { return m_canvas; }
    CViewRectTracker& Tracker() { return m_tracker; }

    bool MoveMode() const { return m_moveMode; }
    void SetMoveMode(bool moveMode);
    // Whether the tracker's frame is drawn in cut mode.
    void SetSelectionShown(bool shown);

    // Loads the picture and shows it centred at natural size.
    bool ShowPicture(const std::wstring& path);
    void PaintPicture();
    // Move mode only, like the toolbar buttons and the wheel.
    void ZoomIn();
    void ZoomOut();
    void ZoomByWheel(QPoint point, int delta);
    void FitToWidth();

    // Called on the UI thread after each new frame has been scheduled for
    // painting.
    void SetFrameObserver(std::function<void(const CanvasFrame&)> observer);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnFrame();

    bool m_moveMode = true;
    bool m_selectionShown = false;
    CViewRectTracker m_tracker;
    std::function<void(const CanvasFrame&)> m_frameObserver;
    // Last member: its animation thread is joined before anything above goes.
    PictureCanvas m_canvas;
};

}  // namespace kelsor::jobs
