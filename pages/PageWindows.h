#pragma once

#include <QPoint>
#include <string>

#include "platform/ui/UiLib.h"

// The batch and screen pages as far as they exist: each loads its layout and
// shows it in its empty state; their lists, captures and recognitions join
// later. Both delete themselves when their window is gone, like every page.
namespace kelsor::jobs {

class BatchOCRWnd : public ui::WindowImplBase {
public:
    BatchOCRWnd();
    ~BatchOCRWnd() override;

protected:
    ui::CDuiString GetWindowClassName() const override { return L"BatchOCRWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"batchocrwnd.xml"; }
    void InitWindow() override;
    void OnFinalMessage(ui::HWND) override { delete this; }
};

// The process-wide batch page, null while none exists.
BatchOCRWnd* GetBatchOCRPage();

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
