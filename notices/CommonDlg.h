#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <string>
#include <vector>

#include "platform/ui/UiLib.h"

namespace kelsor::notices {

// The modal message dialog of every notice: an information page (title,
// text, confirm) and a question page (title, text, cancel, confirm). Each
// show creates a fresh dialog, centres it over the parent's client area, runs
// it modally and destroys it; only the process-wide result survives.
class CommonDlg : public ui::WindowImplBase {
public:
    explicit CommonDlg(ui::HWND parent);

    // Fills the information page; an empty title keeps the skin's "温馨提示".
    // Then centres and runs modally.
    void ShowInformation(const std::wstring& title, const std::wstring& text);
    void ShowQuestion(const std::wstring& title, const std::wstring& text,
                      const std::wstring& cancelText, const std::wstring& confirmText);

    // The process-wide dialog result: 0 after a confirm button, 1 after the
    // cancel button; any other close leaves it as it was.
    static int Result();
    static void SetResult(int result);

    // Top-left of a dialog of `dialog` size centred over the parent's client
    // rectangle (screen coordinates); negative offsets when the dialog is
    // the larger.
    static QPoint CentredPosition(const QRect& parentClient, const QSize& dialog);

    // One show operation per notice; each returns the dialog result. They may
    // be called from a worker thread: the dialog then runs on the UI thread
    // and the caller waits for it.
    static int ShowInfo(ui::HWND parent, const std::wstring& title, const std::wstring& text);
    static int ShowYesNo(ui::HWND parent, const std::wstring& title, const std::wstring& text,
                         const std::wstring& cancelText, const std::wstring& confirmText);
    // A notice of the catalogue below under the usual title.
    static int ShowNotice(ui::HWND parent, const std::wstring& text);

protected:
    ui::CDuiString GetWindowClassName() const override { return L"CommonDlg"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return m_skinFile; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    // Enter answers with the confirm button of the page on show; Esc closes
    // an information notice and cancels a question.
    bool HostEvent(QEvent* event) override;

private:
    void CentreOverParent();

    std::wstring m_skinFile = L"commondlg.xml";
    ui::HWND m_parent = nullptr;
    ui::CTabLayoutUI* m_tab = nullptr;
    ui::CLabelUI* m_title = nullptr;
    ui::CLabelUI* m_text = nullptr;
    ui::CLabelUI* m_ynTitle = nullptr;
    ui::CLabelUI* m_ynText = nullptr;
    ui::CButtonUI* m_ynCancel = nullptr;
    ui::CButtonUI* m_ynConfirm = nullptr;
};

// The texts of the notice catalogue.
namespace notice {
inline constexpr const wchar_t* kTitle = L"温馨提示";
inline constexpr const wchar_t* kUnsupportedFormat = L"很抱歉，不支持该文件格式！";
inline constexpr const wchar_t* kDamagedFile = L"很抱歉，该文件已损坏！";
inline constexpr const wchar_t* kFolderDropped = L"很抱歉，不支持拖入文件夹！";
inline constexpr const wchar_t* kOpenFailed = L"打开失败，请尝试手动打开！";
inline constexpr const wchar_t* kListFinished = L"当前列表已转换完成！";
inline constexpr const wchar_t* kRecognitionFailed = L"识别失败！";
inline constexpr const wchar_t* kHotKeyTaken = L"ctrl + 2 被占用！";
inline constexpr const wchar_t* kListFull = L"您添加的文件已超过上限，最多可添加100张！";
inline constexpr const wchar_t* kTasksRunning = L"任务正在执行，请勿清空目录！";
// "<key> 被占用！": kHotKeyTaken for the key named "ctrl + 2".
std::wstring HotKeyTakenText(const std::wstring& keyName);

// A file that an addition of pictures refused, by its name.
struct RefusedFile {
    std::wstring name;
    bool unsupported = false;  // its format; otherwise it is damaged
};
// The one notice for the files one addition refused: the catalogue's text
// when a single file was refused, else how many (and why) with the first
// three names; empty when none was.
std::wstring RefusedFilesText(const std::vector<RefusedFile>& refused);
}  // namespace notice

}  // namespace kelsor::notices
