#include "shell/SinglePageLink.h"

#include "pages/SingleOCRWnd.h"

namespace kelsor::shell::single_page {

ui::CWindowWnd* Create(ui::HWND parent) {
    auto* page = new jobs::SingleOCRWnd();
    if (page->Create(parent, L"SingleOCRWnd", ui::UI_WNDSTYLE_CHILD, 0) == nullptr) {
        delete page;
        return nullptr;
    }
    return page;
}

void SetPicture(const std::wstring& path) {
    if (jobs::SingleOCRWnd* page = jobs::GetSingleOCRPage())
        page->SetPicture(path);
}

void StartRecognition() {
    if (jobs::SingleOCRWnd* page = jobs::GetSingleOCRPage())
        page->StartRecognition();
}

std::wstring ResultPath() {
    jobs::SingleOCRWnd* page = jobs::GetSingleOCRPage();
    return page != nullptr ? page->ResultPath() : std::wstring();
}

bool IsMoveMode() {
    jobs::SingleOCRWnd* page = jobs::GetSingleOCRPage();
    return page != nullptr && page->IsMoveMode();
}

void ZoomAt(const QPoint& pointInPage, int wheelDelta) {
    if (jobs::SingleOCRWnd* page = jobs::GetSingleOCRPage())
        page->ZoomAt(pointInPage, wheelDelta);
}

}  // namespace kelsor::shell::single_page
