#include "pages/ScreenShotToolWnd.h"

#include <QWidget>

#include "platform/sys/Messages.h"

namespace kelsor::jobs {

ui::LRESULT ScreenShotToolWnd::OnCreate() {
    const ui::LRESULT result = WindowImplBase::OnCreate();
    QWidget* host = GetHWND();
    if (host != nullptr && !m_embedded) {
        // Above the full-screen capture window, out of the window manager's
        // hands like it, and never active: the capture keeps the keyboard.
        host->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus);
        host->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    return result;
}

void ScreenShotToolWnd::OnClick(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) {
        return;
    }
    // The capture window only ends its loop here; the windows are deleted
    // once this handler has returned.
    const ui::CDuiString name = msg.pSender->GetName();
    if (name == L"sstclosebtn") {
        m_owner.SendMessage(WM_KSOCR_CAPTURE_CANCEL, 0, 0);
    } else if (name == L"sstfinishbtn") {
        m_owner.SendMessage(WM_KSOCR_CAPTURE_FINISH, 0, 0);
    }
}

}  // namespace kelsor::jobs
