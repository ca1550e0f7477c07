#pragma once

#include <QPoint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

class SingleOCRView;
class UploadBtn;
class DeleteBtn;
class ResultCopy;

// The screen page of the main window. Its picture always comes from a
// screen capture, started by Ctrl+2 or its upload button: the main window
// steps aside, the user marks a rectangle, and the page comes back in front
// with the capture in its image view, where it can be moved, zoomed or cut
// as on the single page. On the main window's start button the capture (or
// the cut) is recognised on a worker thread; the text is shown and written
// to "<date>_<time>.txt" in the custom folder or on the desktop. Each change
// of state is told to the main window with messages 2135 to 2138.
//
// Create it with new: it deletes itself when its window is destroyed.
class ScreenOCRWnd : public ui::WindowImplBase {
public:
    // (FormatType, picture path) -> text in the process code page, empty on
    // failure; called on the worker thread.
    using Recognizer = std::function<std::string(int formatType, const std::wstring& picture)>;

    ScreenOCRWnd();
    ~ScreenOCRWnd() override;

    // Steps the main window aside, runs a capture and, when it was finished,
    // shows the new picture with this page in front; the main window comes
    // back either way. Nothing while a capture runs, nor without a screen to
    // grab (one line on standard error says why).
    void StartCapture();
    // Shows a captured picture (a missing file is ignored).
    void SetCapturedPicture(const std::wstring& path);
    // Recognises the capture (or the cut in cut mode) on a new detached
    // worker thread; nothing without a captured picture.
    void StartRecognition();
    // Back to "no picture"; the capture file stays.
    void Reset();
    void SwitchToMoveMode();
    void SwitchToCutMode();

    // The ".txt" file of the last recognition started here.
    std::wstring ResultPath() const;
    bool IsMoveMode() const;
    // Mouse-wheel zoom forwarded by the main window (move mode only).
    void ZoomAt(const QPoint& pointInPage, int wheelDelta);

    bool IsCapturing() const { return m_capturing; }
    int CapturesRun() const { return m_capturesRun; }
    SingleOCRView* View() const { return m_view.get(); }
    UploadBtn* UploadButton() const { return m_uploadButton.get(); }
    DeleteBtn* DeleteButton() const { return m_deleteButton.get(); }
    ResultCopy* Copier() const { return m_copy.get(); }
    // Replaces the recognition (RecognizePictureText by default).
    void SetRecognizer(Recognizer recognizer);

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

protected:
    ui::CDuiString GetWindowClassName() const override { return L"ScreenOCRWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"screenocrwnd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    void OnFinalMessage(ui::HWND hwnd) override;

private:
    struct Liveness;
    struct Job;
    static void RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness);

    int RunCaptureAside();
    void BringPageToFront();
    void ShowResult(unsigned generation, const std::wstring& text);
    void FailRecognition(unsigned generation);
    void SetPictureButtonsEnabled(bool enabled);
    void ShowPictureControls(bool shown);
    void PlaceView();

    ui::CControlUI* m_cutScreenHint = nullptr;
    ui::CControlUI* m_imageToolbar = nullptr;
    ui::CControlUI* m_moveButton = nullptr;
    ui::CControlUI* m_cutButton = nullptr;
    ui::CControlUI* m_waitOcr = nullptr;
    ui::CControlUI* m_convertingGif = nullptr;
    ui::CControlUI* m_textArea = nullptr;

    std::unique_ptr<SingleOCRView> m_view;
    std::unique_ptr<UploadBtn> m_uploadButton;
    std::unique_ptr<DeleteBtn> m_deleteButton;
    std::unique_ptr<ResultCopy> m_copy;
    int m_cutMode = 0;
    bool m_hasPicture = false;
    bool m_capturing = false;
    int m_capturesRun = 0;
    // Bumped by each new picture and each reset: a worker started before
    // only writes its file.
    unsigned m_generation = 0;
    Recognizer m_recognizer;
    std::shared_ptr<Liveness> m_liveness;
};

// The process-wide screen page, null while none exists.
ScreenOCRWnd* GetScreenOCRPage();

// The ".txt" file of the screen page's last recognition (empty before the
// first). UI thread.
std::wstring GetScreenResultPath();

}  // namespace kelsor::jobs
