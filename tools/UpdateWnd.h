#pragma once

#include <string>
#include <thread>

#include "platform/ui/UiLib.h"
#include "tools/UpdateCheck.h"

namespace kelsor::tools {

// The updater's small window: the answer of the version check, and for a
// newer version the choice "立即更新" / "以后再说". "立即更新" downloads the
// package into `downloadFolder` on a worker thread, checks its digest and
// opens it with the desktop's opener; the package installs the program, so
// no running file is ever replaced here.
class UpdateWnd : public ui::WindowImplBase {
public:
    UpdateWnd(UpdateCheckResult result, std::wstring downloadFolder);
    ~UpdateWnd() override;

    // What the window says and offers now (tests read these).
    std::wstring MessageText() const;
    bool OffersUpdate() const;

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

protected:
    ui::CDuiString GetWindowClassName() const override { return L"UpdateWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"updatewnd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;

private:
    // Shows `text` with either the update choice or the single "确定".
    void ShowText(const std::wstring& text, bool offerUpdate);
    void StartDownload();
    void OnDownloaded(bool verified);

    UpdateCheckResult m_result;
    std::wstring m_downloadFolder;
    std::thread m_download;
    ui::CLabelUI* m_text = nullptr;
    ui::CControlUI* m_choice = nullptr;    // "立即更新" and "以后再说"
    ui::CControlUI* m_confirm = nullptr;   // "确定"
    ui::CControlUI* m_closeBtn = nullptr;  // hidden while downloading
};

}  // namespace kelsor::tools
