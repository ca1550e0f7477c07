#pragma once

#include <QPoint>
#include <string>

#include "platform/ui/UiLib.h"

// The screen page: loads its layout and shows it in its empty state.
namespace kelsor::jobs {

class ScreenOCRWnd : public ui::WindowImplBase {
public:
    ScreenOCRWnd();
    ~ScreenOCRWnd() override;

    // The hot key's target. The capture window is not built yet, so a request
    // is only counted.
    void StartCapture() { ++m_captureRequests; }
    int CaptureRequests() const { return m_captureRequests; }
    // Nothing can be captured yet, so there is nothing to recognise, no
    // result and no picture to zoom.
    void StartRecognition() {}
    std::wstring ResultPath() const { return {}; }
    bool IsMoveMode() const { return false; }
    void ZoomAt(const QPoint&, int) {}

protected:
    ui::CDuiString GetWindowClassName() const override { return L"ScreenOCRWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"screenocrwnd.xml"; }
    void InitWindow() override;
    void OnFinalMessage(ui::HWND) override { delete this; }

private:
    int m_captureRequests = 0;
};

// The process-wide screen page, null while none exists.
ScreenOCRWnd* GetScreenOCRPage();

}  // namespace kelsor::jobs
