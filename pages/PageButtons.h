#pragma once

#include <functional>

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

// Owner codes of the picture buttons: which page a click acts on.
inline constexpr int kOwnerSinglePage = 0;
inline constexpr int kOwnerScreenPage = 2;

// The small "upload" and "delete" windows above a page's image view. A click
// on the button acts on the page named by the owner code; other codes do
// nothing.
class PictureButtonWnd : public ui::WindowImplBase {
public:
    explicit PictureButtonWnd(int ownerCode) : m_ownerCode(ownerCode) {}
    int OwnerCode() const { return m_ownerCode; }
    // The button control, found at initialisation (null before).
    ui::CButtonUI* Button() const { return m_button; }

protected:
    ui::CDuiString GetSkinFolder() override { return L""; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    virtual const wchar_t* ButtonName() const = 0;
    virtual void Act() = 0;

private:
    int m_ownerCode;
    ui::CButtonUI* m_button = nullptr;
};

// Single page: choose a picture. Screen page: start a capture.
class UploadBtn : public PictureButtonWnd {
public:
    using PictureButtonWnd::PictureButtonWnd;
    // What the screen page's upload button does; set by that page.
    static void SetScreenAction(std::function<void()> action);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"uploadbtn"; }
    ui::CDuiString GetSkinFile() override { return L"uploadbtn.xml"; }
    const wchar_t* ButtonName() const override { return L"uploadbtn"; }
    void Act() override;
};

// Single page or screen page: drop the picture (reset the page).
class DeleteBtn : public PictureButtonWnd {
public:
    using PictureButtonWnd::PictureButtonWnd;
    // What the screen page's delete button does; set by that page.
    static void SetScreenAction(std::function<void()> action);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"deletebtn"; }
    ui::CDuiString GetSkinFile() override { return L"deletebtn.xml"; }
    const wchar_t* ButtonName() const override { return L"deletebtn"; }
    void Act() override;
};

}  // namespace kelsor::jobs
