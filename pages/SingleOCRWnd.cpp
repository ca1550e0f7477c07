#include "pages/SingleOCRWnd.h"

#include <sys/stat.h>

#include <mutex>
#include <thread>
#include <utility>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "history/HistoryRecorder.h"
#include "history/Thumbnail.h"
#include "jobs/FileIo.h"
#include "jobs/Picture.h"
#include "jobs/PictureUtils.h"
#include "notices/CommonDlg.h"
#include "pages/PageButtons.h"
#include "pages/PageNaming.h"
#include "pages/SingleOCRView.h"
#include "platform/sys/Messages.h"
#include "platform/ui/Dialogs.h"

namespace kelsor::jobs {
namespace {

SingleOCRWnd*& PagePointer() {
    static SingleOCRWnd* page = nullptr;
    return page;
}

std::wstring& ResultPathValue() {
    static std::wstring path;
    return path;
}

// The work and cut files are the process's own: one recognition at a time
// uses them, so that a later one never converts over or deletes the file an
// earlier one is still sending.
std::mutex& WorkFilesMutex() {
    static std::mutex mutex;
    return mutex;
}

bool FileExists(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    struct stat info {};
    return ::stat(WideToAnsi(path).c_str(), &info) == 0;
}

}  // namespace

// Everything a worker needs, taken on the UI thread when it starts, so that
// later changes on the page do not reach a running recognition.
struct SingleOCRWnd::Job {
    // The page's run counter and this run's number: a run the page has moved
    // on from (a new picture, a mode change, a reset) no longer counts.
    std::shared_ptr<std::atomic<unsigned>> currentRun;
    unsigned run = 0;
    bool IsCurrent() const { return currentRun->load() == run; }
    std::wstring picture;
    std::wstring workFile;
    std::wstring cutFile;
    std::wstring resultPath;
    bool useCut = false;
    int formatType = FormatPriority;
    Recognizer recognize;
    std::shared_ptr<history::Recorder> history;
};

SingleOCRWnd* GetSingleOCRPage() {
    return PagePointer();
}

std::wstring GetSingleResultPath() {
    return ResultPathValue();
}

SingleOCRWnd::SingleOCRWnd()
    : RecognitionPage(kOwnerSinglePage, L"singleselectpicbtn",
                      {WM_KSOCR_SINGLE_NOPICTURE, WM_KSOCR_SINGLE_READY,
                       WM_KSOCR_SINGLE_RECOGNISING, WM_KSOCR_SINGLE_DONE}),
      m_currentRun(std::make_shared<std::atomic<unsigned>>(0)) {
    PagePointer() = this;
}

SingleOCRWnd::~SingleOCRWnd() {
    ++*m_currentRun;  // a worker still running leaves its result unwritten
    if (PagePointer() == this) {
        PagePointer() = nullptr;
    }
}

void SingleOCRWnd::OnPageClick(const ui::CDuiString& name) {
    if (name == L"singleselectpicbtn") {
        ChoosePicture();
    }
}

void SingleOCRWnd::ChoosePicture() {
    SetPicture(ui::PickOnePicture(GetHWND()));
}

void SingleOCRWnd::SetPicture(const std::wstring& path) {
    if (!FileExists(path)) {
        return;
    }
    const std::int8_t check = CheckPictureFile(path);
    if (check == PictureUnsupported) {
        notices::CommonDlg::ShowNotice(GetHWND(), notices::notice::kUnsupportedFormat);
        return;
    }
    // Decoded once, by the decoder and within the limits the conversion
    // uses: a picture that claims more than they allow is a damaged file.
    Picture decoded;
    if (check != PictureAccepted || !decoded.Load(path, ImageFormatFromExtension(path))) {
        notices::CommonDlg::ShowNotice(GetHWND(), notices::notice::kDamagedFile);
        return;
    }
    LeaveRecognition();
    m_currentPicture = path;
    m_pictureFolder = FolderOfPath(path);
    View()->ShowPicture(decoded);
    ShowNewPicture();
}

void SingleOCRWnd::LeaveRecognition() {
    ++*m_currentRun;
    if (m_recognising) {
        m_recognising = false;
        StopRecognising();
    }
}

void SingleOCRWnd::DropPicture() {
    LeaveRecognition();
    m_currentPicture.clear();
}

bool SingleOCRWnd::AcceptRun(unsigned run) {
    // Checked again on the UI thread, where the page changes runs.
    if (m_currentRun->load() != run) {
        return false;
    }
    m_recognising = false;
    return true;
}

std::wstring SingleOCRWnd::ResultPath() const {
    return GetSingleResultPath();
}

void SingleOCRWnd::StartRecognition() {
    // Without a picture the work file of an earlier one would be recognised.
    if (m_currentPicture.empty()) {
        return;
    }
    const AppContext& app = App();
    ResultPathValue() = ResultPathFor(m_currentPicture, app.useCustomOutputFolder.load() != 0,
                                      app.customOutputFolder.get());
    ShowRecognising(app.singleCutPicturePath);

    m_recognising = true;
    Job job{m_currentRun,
            ++*m_currentRun,
            m_currentPicture,
            app.singleWorkPicturePath,
            app.singleCutPicturePath,
            ResultPathValue(),
            InCutMode(),
            app.formatType.load(),
            CurrentRecognizer(),
            History()};
    std::thread(&SingleOCRWnd::RecognizeWorker, std::move(job), Alive()).detach();
}

void SingleOCRWnd::RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness) {
    std::string text;
    history::NewEntry entry;
    {
        std::lock_guard lock(WorkFilesMutex());
        if (!job.IsCurrent()) {
            return;  // the page moved on while this run waited
        }
        // A conversion that fails must not leave an earlier picture's work
        // file to be recognised in its place.
        RemoveFile(job.workFile);
        ConvertPictureToJpeg(100, job.picture, job.workFile);
        const std::wstring& source = job.useCut ? job.cutFile : job.workFile;
        text = job.recognize ? job.recognize(job.formatType, source) : std::string();
        if (!job.IsCurrent()) {
            return;
        }
        // A result file that cannot be written still leaves the text on show.
        if (!text.empty()) {
            const bool written = WriteResultTextFile(job.resultPath, text + "\r\n");
            // The user's picture stays where it is: no copy is kept. The
            // thumbnail comes from the JPEG work file, quickly, while it is
            // this run's.
            entry.road = history::Road::Picture;
            entry.source = job.picture;
            entry.textPath = written ? job.resultPath : std::wstring();
            entry.text = AnsiToWide(text);
            entry.thumbnail = history::MakeThumbnail(source, history::kThumbnailSide);
        }
    }
    Deliver(liveness, job.run, AnsiToWide(text));
    // After the text is on show: the history never holds it up.
    if (!text.empty()) {
        job.history->Record(entry);
    }
}

}  // namespace kelsor::jobs
