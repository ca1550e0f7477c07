#pragma once

#include <string>

#include "pages/RecognitionPage.h"

namespace kelsor::jobs {

class CScreenShotWnd;

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
class ScreenOCRWnd : public RecognitionPage {
public:
    ScreenOCRWnd();
    ~ScreenOCRWnd() override;

    // Steps the main window aside, runs a capture and, when it was finished,
    // shows the new picture with this page in front; the main window comes
    // back either way; a finished capture that could not be written leaves
    // the page as it was and says the file is damaged. Nothing while a
    // capture runs, nor without a screen to grab (one line on standard error
    // says why).
    void StartCapture();
    // Shows a captured picture (a missing file is ignored).
    void SetCapturedPicture(const std::wstring& path);
    // Recognises the capture (or the cut in cut mode) on a new detached
    // worker thread; nothing without a captured picture. (Reset leaves the
    // capture file in place.)
    void StartRecognition();

    // The ".txt" file of the last recognition started here.
    std::wstring ResultPath() const;
    bool IsCapturing() const { return m_capturing; }
    int CapturesRun() const { return m_capturesRun; }

protected:
    ui::CDuiString GetWindowClassName() const override { return L"ScreenOCRWnd"; }
    ui::CDuiString GetSkinFile() override { return L"screenocrwnd.xml"; }
    void InitWindow() override;
    bool AcceptRun(unsigned run) override { return run == m_generation; }
    void DropPicture() override;
    bool CopiesResult() const override;

private:
    struct Job;
    static void RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness);

    int RunCaptureAside(CScreenShotWnd& capture);
    void BringPageToFront();

    bool m_hasPicture = false;
    bool m_capturing = false;
    int m_capturesRun = 0;
    // Bumped by each new picture and each reset: a worker started before
    // only writes its file.
    unsigned m_generation = 0;
};

// The process-wide screen page, null while none exists.
ScreenOCRWnd* GetScreenOCRPage();

// The ".txt" file of the screen page's last recognition (empty before the
// first). UI thread.
std::wstring GetScreenResultPath();

}  // namespace kelsor::jobs
