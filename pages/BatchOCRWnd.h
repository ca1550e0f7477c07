#pragma once

#include "platform/ui/UiLib.h"

// The batch page: loads its layout and shows it in its empty state.
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

}  // namespace kelsor::jobs
