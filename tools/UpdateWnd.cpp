#include "tools/UpdateWnd.h"

#include <cstdio>

#include "app/TextConv.h"
#include "companion/Converter.h"
#include "platform/sys/Process.h"
#include "platform/ui/Controls.h"
#include "tools/ToolHttp.h"

namespace kelsor::tools {

using namespace kelsor::ui;

namespace {

// The worker's answer to the window: wParam 1 when the digest matched.
constexpr UINT kDownloadFinished = 0x0400 + 1;

std::wstring AnswerText(const UpdateCheckResult& result) {
    switch (result.answer) {
        case UpdateAnswer::kNewer:
            return updatetext::kNewerPrefix + result.offer.version;
        case UpdateAnswer::kLatest:
            return updatetext::kLatest;
        case UpdateAnswer::kFailed:
            break;
    }
    return updatetext::kFailed;
}

// Downloads the package within its size and checks its digest (an empty
// digest vouches for nothing). Runs on the worker.
bool FetchVerifiedPackage(const UpdateOffer& offer, const std::wstring& target) {
    std::string error;
    if (!DownloadFile(WideToAnsi(offer.downloadUrl), WideToAnsi(target), offer.size, error)) {
        std::fprintf(stderr, "KelsorOCRUpdate: download failed: %s\n", error.c_str());
        return false;
    }
    return !offer.digest.empty() && FileMd5(target) == offer.digest;
}

}  // namespace

UpdateWnd::UpdateWnd(UpdateCheckResult result, std::wstring downloadFolder)
    : m_result(std::move(result)), m_downloadFolder(std::move(downloadFolder)) {}

UpdateWnd::~UpdateWnd() {
    if (m_download.joinable())
        m_download.join();
}

std::wstring UpdateWnd::MessageText() const {
    return m_text != nullptr ? std::wstring(m_text->GetText()) : std::wstring();
}

bool UpdateWnd::OffersUpdate() const {
    return m_choice != nullptr && m_choice->IsVisible();
}

void UpdateWnd::InitWindow() {
    m_text = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"updatetext"));
    m_choice = m_PaintManager.FindControl(L"updatechoice");
    m_confirm = m_PaintManager.FindControl(L"updateokbtn");
    m_closeBtn = m_PaintManager.FindControl(L"updateclosebtn");
    ShowText(AnswerText(m_result), m_result.answer == UpdateAnswer::kNewer);
}

void UpdateWnd::ShowText(const std::wstring& text, bool offerUpdate) {
    if (m_text != nullptr)
        m_text->SetText(text);
    if (m_choice != nullptr)
        m_choice->SetVisible(offerUpdate);
    if (m_confirm != nullptr)
        m_confirm->SetVisible(!offerUpdate);
}

void UpdateWnd::OnClick(TNotifyUI& msg) {
    if (msg.pSender == nullptr)
        return;
    const CDuiString name = msg.pSender->GetName();
    if (name == L"updatenowbtn")
        StartDownload();
    else if (name == L"laterbtn" || name == L"updateokbtn" || name == L"updateclosebtn")
        Close(1);
}

void UpdateWnd::StartDownload() {
    if (m_result.offer.downloadUrl.empty()) {
        ShowText(updatetext::kNoPackage, false);
        return;
    }
    ShowText(updatetext::kDownloading, false);
    if (m_confirm != nullptr)
        m_confirm->SetVisible(false);
    if (m_closeBtn != nullptr)
        m_closeBtn->SetVisible(false);  // the worker reports back to this window
    const UpdateOffer offer = m_result.offer;
    const std::wstring target = m_downloadFolder + offer.fileName;
    m_download = std::thread([this, offer, target] {
        const bool verified = FetchVerifiedPackage(offer, target);
        PostMessage(kDownloadFinished, verified ? 1 : 0);
    });
}

void UpdateWnd::OnDownloaded(bool verified) {
    if (m_download.joinable())
        m_download.join();
    if (m_closeBtn != nullptr)
        m_closeBtn->SetVisible(true);
    const std::wstring target = m_downloadFolder + m_result.offer.fileName;
    if (!verified) {
        // A package that is not the one announced is never kept, let alone opened.
        std::remove(WideToAnsi(target).c_str());
        ShowText(updatetext::kDigestMismatch, false);
        return;
    }
    if (platform::OpenWithDesktop(target))
        ShowText(updatetext::kOpened, false);
    else
        ShowText(updatetext::kOpenFailed + target, false);
}

LRESULT UpdateWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kDownloadFinished) {
        OnDownloaded(wParam == 1);
        return 0;
    }
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

}  // namespace kelsor::tools
