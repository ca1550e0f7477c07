#pragma once

#include <functional>
#include <string>

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

// Owner codes of the picture buttons: which page a click acts on.
inline constexpr int kOwnerSinglePage = 0;
inline constexpr int kOwnerScreenPage = 2;

// The small "upload" and "delete" windows above a page's image view, each
// built from the layout of its name and holding the button of that name. A
// click on the button acts on the page named by the owner code; other codes
// do nothing.
class PictureButtonWnd : public ui::WindowImplBase {
public:
    PictureButtonWnd(int ownerCode, const wchar_t* name) : m_ownerCode(ownerCode), m_name(name) {}
    int OwnerCode() const { return m_ownerCode; }
    // The button control, found at initialisation (null before).
    ui::CButtonUI* Button() const { return m_button; }

protected:
    ui::CDuiString GetWindowClassName() const override { return m_name; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return m_name + L".xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    virtual void Act() = 0;

private:
    int m_ownerCode;
    std::wstring m_name;
    ui::CButtonUI* m_button = nullptr;
};

// Single page: choose a picture. Screen page: start a capture.
class UploadBtn : public PictureButtonWnd {
public:
    explicit UploadBtn(int ownerCode) : PictureButtonWnd(ownerCode, L"uploadbtn") {}
    // What the screen page's upload button does; set by that page.
    static void SetScreenAction(std::function<void()> action);

protected:
    void Act() override;
};

// Single page or screen page: drop the picture (reset the page).
class DeleteBtn : public PictureButtonWnd {
public:
    explicit DeleteBtn(int ownerCode) : PictureButtonWnd(ownerCode, L"deletebtn") {}
    // What the screen page's delete button does; set by that page.
    static void SetScreenAction(std::function<void()> action);

protected:
    void Act() override;
};

}  // namespace kelsor::jobs
