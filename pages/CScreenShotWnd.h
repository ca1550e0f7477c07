#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <memory>
#include <string>

#include "jobs/view/RectTracker.h"
#include "pages/CutOverlay.h"
#include "platform/ui/UiLib.h"

class QEventLoop;
class QTimer;
class QPainter;

namespace kelsor::jobs {

class ScreenShotToolWnd;

// The full-screen capture: a still picture of the primary screen, dimmed
// outside the selection, with the selection's size above it and a toolbar
// (cancel, finish) below it. The first press selects the whole screen; a
// drag from there draws the one rubber band of the capture, which the
// handles then move and resize. Esc, "退出截图" and a finish without a
// selection cancel; a double click or "完成截图" finishes.
//
// The window is frameless, stays on top, bypasses the window manager, is
// modal over every window open before it and holds the keyboard while it
// runs (Esc works without focus); without any input for two minutes it
// cancels itself. UI thread only.
class CScreenShotWnd : public ui::CWindowWnd, private SelectionMouse {
public:
    CScreenShotWnd();
    ~CScreenShotWnd() override;

    // Grabs the screen, shows the window and runs a nested event loop until
    // the capture ends. On a finish the selected pixels (at the screen's
    // device resolution) are written to `target` as a JPEG. Returns 1 when
    // `target` was written, else 0; `target` is never touched otherwise.
    int RunCapture(const std::wstring& target);
    int Result() const { return m_result; }
    // The user finished a selection but it could not be written (a full
    // disk, a folder that went away): the target is as it was.
    bool SaveFailed() const { return m_saveFailed; }
    // Why the screen could not be had, for the user (the desktop portal's
    // refusal, say); empty when it could, or when there is nothing to say.
    const std::wstring& GrabFailure() const { return m_grabFailure; }

    // While it runs (tests look at these).
    const CXRectTracker& Tracker() const { return m_tracker; }
    // Size of the pixels a finish would write now, as the label shows it.
    QSize SavedSize() const;
    ScreenShotToolWnd* Toolbar() const { return m_toolbar.get(); }
    bool ToolbarShown() const;

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

protected:
    ui::CDuiString GetWindowClassName() const override { return L"ScreenShotWndClass"; }
    ui::LRESULT OnCreate() override;
    bool HostEvent(QEvent* event) override;

private:
    bool SetUp(const std::wstring& target);
    void Show();
    void GrabKeyboard();
    void ReleaseKeyboard();
    void Paint();
    void PaintSizeLabel(QPainter& painter) const;
    void PlaceToolbar();
    void OnPress(QPoint p) override;
    void OnMove(QPoint p) override;
    void OnRelease() override;
    void OnDoubleClick() override;
    void Cancel();
    void Finish();
    void End(int result);
    bool SaveSelection();
    QSize ScreenSize() const;

    int m_buttonDown = 0;
    int m_result = 0;
    bool m_saveFailed = false;
    std::wstring m_grabFailure;
    // The grab in device pixels and the screen's logical geometry.
    QImage m_grab;
    QRect m_screenGeometry;
    TrackRect m_screenRect;
    SelectionGesture m_gesture;
    CXRectTracker m_tracker;
    std::unique_ptr<ScreenShotToolWnd> m_toolbar;
    std::wstring m_target;
    QEventLoop* m_loop = nullptr;
    QTimer* m_idle = nullptr;
    int m_grabTries = 0;
    bool m_keyboardGrabbed = false;
    bool m_ended = false;
};

}  // namespace kelsor::jobs
