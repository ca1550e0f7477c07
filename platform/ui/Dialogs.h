#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/UiTypes.h"

// The one seam every modal dialog and file picker goes through. Tests queue
// the next answers so that no modal window ever waits for a user.
namespace kelsor::ui {

class CWindowWnd;

class ModalSeam {
public:
    // Arms the seam: from now on a modal window takes its answer from the
    // queue; one without a queued answer is closed with code 0 and counted.
    static void Enable();
    static void Disable();
    static bool IsEnabled();
    // The next modal window clicks the control of this name; an empty name
    // closes it with code 0 as a system close would.
    static void SetNextAnswer(const CDuiString& controlName);
    // Called with each modal window before it is answered (to inspect it).
    static void SetObserver(std::function<void(CWindowWnd&)> observer);
    static int UnansweredCount();
    static int PendingAnswers();
};

// Picture picker filter: display text, then the pattern list.
inline constexpr const wchar_t* kPictureFilterText =
    L"图片文件(*.png;*.jpg;*.jpeg;*.bmp;*.gif;*.tif;*.tiff;)";
inline constexpr const wchar_t* kPictureFilterPattern =
    L"*.png;*.jpg;*.jpeg;*.bmp;*.gif;*.tif;*.tiff;";
// PDF picker filter, in the same form.
inline constexpr const wchar_t* kPdfFilterText = L"PDF文件(*.pdf;)";
inline constexpr const wchar_t* kPdfFilterPattern = L"*.pdf;";
inline constexpr const wchar_t* kPickOneTitle = L"请选择一个文件";
inline constexpr const wchar_t* kPickManyTitle = L"选择文件";
inline constexpr const wchar_t* kPickFolderTitle = L"选择一个文件夹";

class FileDialog {
public:
    enum class Kind { OnePicture, Pictures, Folder, Pdfs };
    struct Request {
        Kind kind = Kind::OnePicture;
        std::wstring title;
        std::wstring filterText;
        std::wstring filterPattern;
        HWND owner = nullptr;
    };
    // The next picker returns these full paths (in this order) without
    // showing; an empty list means the user cancelled.
    static void SetNextFileNames(const std::vector<std::wstring>& names);
    // What the last picker was asked to show.
    static Request LastRequest();
};

// Standard picker for one picture: its full path, or empty when cancelled.
std::wstring PickOnePicture(HWND owner);
// Multi-selection picker: full paths in dialog order; false when cancelled.
bool PickPictures(HWND owner, std::vector<std::wstring>& paths);
// Multi-selection picker for PDF files, like PickPictures.
bool PickPdfs(HWND owner, std::vector<std::wstring>& paths);
// Folder picker: the folder with a trailing "/"; false when cancelled.
bool PickFolder(HWND owner, std::wstring& folder);

}  // namespace kelsor::ui
