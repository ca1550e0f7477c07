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

// Runs `single` on the single page, or the screen page's `screen` action,
// as the owner code says.
void ActOn(int ownerCode, void (SingleOCRWnd::*single)(), const std::function<void()>& screen) {
    if (ownerCode == kOwnerSinglePage) {
        if (SingleOCRWnd* page = GetSingleOCRPage()) {
            (page->*single)();
        }
    } else if (ownerCode == kOwnerScreenPage && screen) {
        screen();
    }
}

}  // namespace

void PictureButtonWnd::InitWindow() {
    m_button = dynamic_cast<ui::CButtonUI*>(m_PaintManager.FindControl(m_name));
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
    ActOn(OwnerCode(), &SingleOCRWnd::ChoosePicture, ScreenUploadAction());
}

void DeleteBtn::SetScreenAction(std::function<void()> action) {
    ScreenDeleteAction() = std::move(action);
}

void DeleteBtn::Act() {
    ActOn(OwnerCode(), &SingleOCRWnd::Reset, ScreenDeleteAction());
}

}  // namespace kelsor::jobs
