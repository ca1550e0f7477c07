#pragma once

#include <QPoint>
#include <functional>
#include <memory>
#include <string>

#include "history/HistoryRecorder.h"
#include "platform/ui/UiLib.h"

namespace kelsor::jobs {

class SingleOCRView;
class UploadBtn;
class DeleteBtn;
class ResultCopy;

// What a recognition page tells the main window about its state.
struct PageMessages {
    ui::UINT noPicture;
    ui::UINT ready;
    ui::UINT recognising;
    ui::UINT done;
};

// What the single and screen pages share: the image view with its upload and
// delete buttons, the move/cut/zoom toolbar, the waiting, recognising and
// result states and the copy button. A page adds where its picture comes
// from, how a recognition runs and which runs still count.
//
// Create a page with new: it deletes itself when its window is destroyed.
class RecognitionPage : public ui::WindowImplBase {
public:
    // (FormatType, picture path) -> text in the process code page, empty on
    // failure; called on the worker thread.
    using Recognizer = std::function<std::string(int formatType, const std::wstring& picture)>;

    ~RecognitionPage() override;

    // Back to "no picture".
    void Reset();
    void SwitchToMoveMode();
    void SwitchToCutMode();
    bool IsMoveMode() const;
    // Mouse-wheel zoom forwarded by the main window (move mode only).
    void ZoomAt(const QPoint& pointInPage, int wheelDelta);

    SingleOCRView* View() const { return m_view.get(); }
    UploadBtn* UploadButton() const { return m_uploadButton.get(); }
    DeleteBtn* DeleteButton() const { return m_deleteButton.get(); }
    ResultCopy* Copier() const { return m_copy.get(); }

    // Replaces the recognition (the service's, reading codes as the user's
    // switch says, by default; null puts it back) for the recognitions
    // started from now on.
    void SetRecognizer(Recognizer recognizer);

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

protected:
    // `emptyHint` names the control shown while the page has no picture.
    RecognitionPage(int ownerCode, const wchar_t* emptyHint, PageMessages messages);

    ui::CDuiString GetSkinFolder() override { return L""; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    void OnFinalMessage(ui::HWND hwnd) override;

    // Lives as long as the page object; only touched on the UI thread.
    struct Liveness {
        RecognitionPage* page;
    };
    // Hands a worker's text (empty on failure) to the page on the UI thread,
    // when the page is still there and still counts `run`.
    static void Deliver(const std::weak_ptr<Liveness>& liveness, unsigned run,
                        const std::wstring& text);
    std::weak_ptr<Liveness> Alive() const { return m_liveness; }

    // Whether a worker's answer for `run` is still wanted (UI thread); called
    // once per answer, before it is shown.
    virtual bool AcceptRun(unsigned run) = 0;
    // The page's own part of a mode change and of a reset.
    virtual void OnModeChange() {}
    virtual void DropPicture() = 0;
    // Page clicks beyond the shared ones.
    virtual void OnPageClick(const ui::CDuiString&) {}
    // Whether a shown result also goes to the clipboard at once.
    virtual bool CopiesResult() const { return false; }

    // Shows (or hides) the picture with its buttons and toolbar; hidden, the
    // empty hint shows instead.
    void ShowPictureControls(bool shown);
    // Waiting for the start button: no text, no animation.
    void ShowWaiting();
    // The recognising state, told to the main window; the cut (if any) is
    // saved to `cutFile` for the worker.
    void ShowRecognising(const std::wstring& cutFile);
    // Ends the recognising state without a result.
    void StopRecognising();
    void SetPictureButtonsEnabled(bool enabled);
    // After a new picture is in the view: waiting, in move mode, told.
    void ShowNewPicture();
    void Tell(ui::UINT message) const;
    const PageMessages& Messages() const { return m_messages; }
    bool InCutMode() const { return m_cutMode != 0; }
    // The recognition for a run starting now.
    Recognizer CurrentRecognizer() const;
    // The page's way into the history, shared with its workers.
    const std::shared_ptr<history::Recorder>& History() const { return m_history; }

private:
    void ShowResult(const std::wstring& text);
    void FailRecognition();
    void PlaceView();

    int m_ownerCode;
    const wchar_t* m_emptyHintName;
    PageMessages m_messages;
    ui::CControlUI* m_emptyHint = nullptr;
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
    Recognizer m_recognizer;
    std::shared_ptr<history::Recorder> m_history = std::make_shared<history::Recorder>();
    // Workers hold a weak reference: a page that is gone is left alone.
    // Declared last, so it goes first when the page is destroyed.
    std::shared_ptr<Liveness> m_liveness;
};

}  // namespace kelsor::jobs
