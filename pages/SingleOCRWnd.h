#pragma once

#include <QPoint>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

class SingleOCRView;
class UploadBtn;
class DeleteBtn;
class ResultCopy;

// The single-picture page of the main window: the user chooses or drops one
// picture, moves, zooms or cuts it, and on the main window's start button the
// whole picture or the cut is recognised on a worker thread. The text is
// shown and written to a ".txt" file named after the picture. Each change of
// state is told to the main window with messages 2129 to 2132.
//
// Create it with new: it deletes itself when its window is destroyed (with
// the main window); deleting it directly destroys its window too.
class SingleOCRWnd : public ui::WindowImplBase {
public:
    // (FormatType, picture path) -> text in the process code page, empty on
    // failure; called on the worker thread.
    using Recognizer = std::function<std::string(int formatType, const std::wstring& picture)>;

    SingleOCRWnd();
    ~SingleOCRWnd() override;

    // The picture picker, then SetPicture with its answer.
    void ChoosePicture();
    // Shows the picture when the file is one; unsupported and damaged files
    // get their notice and leave the page as it was; a missing file (or an
    // empty path) is ignored.
    void SetPicture(const std::wstring& path);
    // Recognises the current picture (or the cut in cut mode) on a new
    // detached worker thread; nothing without a picture. A new picture, a
    // mode change or a reset leaves a running recognition behind: its result
    // is dropped and it touches neither the page nor the work files again.
    void StartRecognition();
    // Back to "no picture".
    void Reset();
    // The ".txt" file of the last recognition started here.
    std::wstring ResultPath() const;
    bool IsMoveMode() const;
    // Mouse-wheel zoom forwarded by the main window (move mode only).
    void ZoomAt(const QPoint& pointInPage, int wheelDelta);

    void SwitchToMoveMode();
    void SwitchToCutMode();
    const std::wstring& CurrentPicture() const { return m_currentPicture; }
    const std::wstring& PictureFolder() const { return m_pictureFolder; }
    SingleOCRView* View() const { return m_view.get(); }
    UploadBtn* UploadButton() const { return m_uploadButton.get(); }
    DeleteBtn* DeleteButton() const { return m_deleteButton.get(); }
    ResultCopy* Copier() const { return m_copy.get(); }

    // Replaces the recognition (RecognizePictureText by default) for the
    // recognitions started from now on.
    void SetRecognizer(Recognizer recognizer);

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

protected:
    ui::CDuiString GetWindowClassName() const override { return L"SingleOCRWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"singleocrwnd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    void OnFinalMessage(ui::HWND hwnd) override;

private:
    struct Liveness;
    struct Job;
    static void RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness);

    void ShowPictureState();
    // Ends the recognising state, if any, and makes every running
    // recognition stale.
    void LeaveRecognition();
    void ShowResult(const std::wstring& text);
    void FailRecognition();
    void SetPictureButtonsEnabled(bool enabled);
    void PlaceView();
    ui::CControlUI* Find(const wchar_t* name) const;

    ui::CControlUI* m_selectPicButton = nullptr;
    ui::CControlUI* m_imageToolbar = nullptr;
    ui::CControlUI* m_adaptationButton = nullptr;
    ui::CControlUI* m_moveButton = nullptr;
    ui::CControlUI* m_cutButton = nullptr;
    ui::CControlUI* m_zoomInButton = nullptr;
    ui::CControlUI* m_zoomOutButton = nullptr;
    ui::CControlUI* m_waitOcr = nullptr;
    ui::CControlUI* m_convertingGif = nullptr;
    ui::CControlUI* m_textArea = nullptr;

    std::unique_ptr<SingleOCRView> m_view;
    std::unique_ptr<UploadBtn> m_uploadButton;
    std::unique_ptr<DeleteBtn> m_deleteButton;
    std::unique_ptr<ResultCopy> m_copy;
    int m_cutMode = 0;
    std::wstring m_currentPicture;
    std::wstring m_pictureFolder;
    Recognizer m_recognizer;
    bool m_recognising = false;
    // Counts runs; shared with the workers, which compare their own number.
    std::shared_ptr<std::atomic<unsigned>> m_currentRun;
    // Workers hold a weak reference: a page that is gone is left alone.
    std::shared_ptr<Liveness> m_liveness;
};

// The process-wide page pointer: set while a page object exists, else null.
SingleOCRWnd* GetSingleOCRPage();

// The process-wide result path of the single page: the ".txt" file of its
// last recognition (empty before the first). UI thread.
std::wstring GetSingleResultPath();

}  // namespace kelsor::jobs
