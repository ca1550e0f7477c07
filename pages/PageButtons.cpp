#include "pages/PageButtons.h"

#include "pages/SingleOCRWnd.h"

namespace kelsor::jobs {
namespace {

std::function<void()>& ScreenUploadAction() {
    static std::function<void()> action;
    return action;
}

std::function<void()>& ScreenDeleteAction() {
    static std::function<void()> action;
    return action;
}

}  // namespace

void PictureButtonWnd::InitWindow() {
    m_button = dynamic_cast<ui::CButtonUI*>(m_PaintManager.FindControl(ButtonName()));
}

void PictureButtonWnd::OnClick(ui::TNotifyUI& msg) {
    if (msg.pSender != nullptr && msg.pSender == m_button) {
        Act();
    }
}

void UploadBtn::SetScreenAction(std::function<void()> action) {
    ScreenUploadAction() = std::move(action);
}

void UploadBtn::Act() {
    if (OwnerCode() == kOwnerSinglePage) {
        if (SingleOCRWnd* page = GetSingleOCRPage()) {
            page->ChoosePicture();
        }
    } else if (OwnerCode() == kOwnerScreenPage && ScreenUploadAction()) {
        ScreenUploadAction()();
    }
}

void DeleteBtn::SetScreenAction(std::function<void()> action) {
    ScreenDeleteAction() = std::move(action);
}

void DeleteBtn::Act() {
    if (OwnerCode() == kOwnerSinglePage) {
        if (SingleOCRWnd* page = GetSingleOCRPage()) {
            page->Reset();
        }
    } else if (OwnerCode() == kOwnerScreenPage && ScreenDeleteAction()) {
        ScreenDeleteAction()();
    }
}

}  // namespace kelsor::jobs
