#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "pages/RecognitionPage.h"

namespace kelsor::jobs {

// The single-picture page of the main window: the user chooses or drops one
// picture, moves, zooms or cuts it, and on the main window's start button the
// whole picture or the cut is recognised on a worker thread. The text is
// shown and written to a ".txt" file named after the picture. Each change of
// state is told to the main window with messages 2129 to 2132.
//
// Create it with new: it deletes itself when its window is destroyed (with
// the main window); deleting it directly destroys its window too.
class SingleOCRWnd : public RecognitionPage {
public:
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
    // The ".txt" file of the last recognition started here.
    std::wstring ResultPath() const;

    const std::wstring& CurrentPicture() const { return m_currentPicture; }
    const std::wstring& PictureFolder() const { return m_pictureFolder; }

protected:
    ui::CDuiString GetWindowClassName() const override { return L"SingleOCRWnd"; }
    ui::CDuiString GetSkinFile() override { return L"singleocrwnd.xml"; }
    bool AcceptRun(unsigned run) override;
    void OnModeChange() override { LeaveRecognition(); }
    void DropPicture() override;
    void OnPageClick(const ui::CDuiString& name) override;

private:
    struct Job;
    static void RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness);

    // Ends the recognising state, if any, and makes every running
    // recognition stale.
    void LeaveRecognition();

    std::wstring m_currentPicture;
    std::wstring m_pictureFolder;
    bool m_recognising = false;
    // Counts runs; shared with the workers, which compare their own number.
    std::shared_ptr<std::atomic<unsigned>> m_currentRun;
};

// The process-wide page pointer: set while a page object exists, else null.
SingleOCRWnd* GetSingleOCRPage();

// The process-wide result path of the single page: the ".txt" file of its
// last recognition (empty before the first). UI thread.
std::wstring GetSingleResultPath();

}  // namespace kelsor::jobs
