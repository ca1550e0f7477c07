#include "pages/SingleOCRWnd.h"

#include <sys/stat.h>

#include <QWidget>
#include <mutex>
#include <thread>
#include <utility>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/FileIo.h"
#include "jobs/Picture.h"
#include "jobs/PictureUtils.h"
#include "notices/CommonDlg.h"
#include "pages/PageButtons.h"
#include "pages/PageNaming.h"
#include "pages/ResultCopy.h"
#include "pages/SingleOCRView.h"
#include "pages/UiThread.h"
#include "platform/sys/Messages.h"
#include "platform/ui/MainWindowRef.h"

namespace kelsor::jobs {
namespace {

constexpr ui::UINT kChildStyle =
    ui::WS_CHILD | ui::WS_VISIBLE | ui::WS_CLIPSIBLINGS | ui::WS_CLIPCHILDREN;

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

void TellMainWindow(ui::UINT message) {
    if (ui::CWindowWnd* main = ui::GetMainWindow()) {
        main->SendMessage(message, 0, 0);
    }
}

void SetVisible(ui::CControlUI* control, bool visible) {
    if (control != nullptr) {
        control->SetVisible(visible);
    }
}

void SetEnabled(ui::CControlUI* control, bool enabled) {
    if (control != nullptr) {
        control->SetEnabled(enabled);
    }
}

}  // namespace

// Lives as long as the page object; only touched on the UI thread.
struct SingleOCRWnd::Liveness {
    SingleOCRWnd* page;
};

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
};

SingleOCRWnd* GetSingleOCRPage() {
    return PagePointer();
}

std::wstring GetSingleResultPath() {
    return ResultPathValue();
}

SingleOCRWnd::SingleOCRWnd()
    : m_recognizer(&kelsor::RecognizePictureText),
      m_currentRun(std::make_shared<std::atomic<unsigned>>(0)),
      m_liveness(std::make_shared<Liveness>(Liveness{this})) {
    PagePointer() = this;
}

SingleOCRWnd::~SingleOCRWnd() {
    ++*m_currentRun;  // a worker still running leaves its result unwritten
    m_liveness.reset();
    if (PagePointer() == this) {
        PagePointer() = nullptr;
    }
}

void SingleOCRWnd::OnFinalMessage(ui::HWND) {
    delete this;
}

void SingleOCRWnd::SetRecognizer(Recognizer recognizer) {
    m_recognizer = recognizer ? std::move(recognizer) : Recognizer(&kelsor::RecognizePictureText);
}

ui::CControlUI* SingleOCRWnd::Find(const wchar_t* name) const {
    return m_PaintManager.FindControl(name);
}

void SingleOCRWnd::InitWindow() {
    m_selectPicButton = Find(L"singleselectpicbtn");
    m_imageToolbar = Find(L"imagetoolbar");
    m_adaptationButton = Find(L"adaptationbtn");
    m_moveButton = Find(L"movebtn");
    m_cutButton = Find(L"cutbtn");
    m_zoomInButton = Find(L"zoominbtn");
    m_zoomOutButton = Find(L"zoomoutbtn");
    m_waitOcr = Find(L"waitocr");
    m_convertingGif = Find(L"covertinggif");
    m_textArea = Find(L"ocrtextarea");
    m_copy = std::make_unique<ResultCopy>(m_PaintManager);
    SetEnabled(m_moveButton, false);
    SetEnabled(m_cutButton, true);

    m_view = std::make_unique<SingleOCRView>();
    m_view->Create(GetHWND(), L"SingleOCRView", kChildStyle, 0);
    m_view->ShowWindow(false, false);
    PlaceView();

    m_uploadButton = std::make_unique<UploadBtn>(kOwnerSinglePage);
    m_uploadButton->Create(GetHWND(), L"UploadBtn", kChildStyle, 0);
    m_uploadButton->ShowWindow(false, false);
    m_uploadButton->MoveWindow(363, 32, 92, 30);
    m_deleteButton = std::make_unique<DeleteBtn>(kOwnerSinglePage);
    m_deleteButton->Create(GetHWND(), L"DeleteBtn", kChildStyle, 0);
    m_deleteButton->ShowWindow(false, false);
    m_deleteButton->MoveWindow(465, 32, 72, 30);

    SetVisible(m_waitOcr, true);
    SetVisible(m_selectPicButton, true);
    SetVisible(m_convertingGif, false);
    SetVisible(m_textArea, false);
    SetVisible(m_imageToolbar, false);
    m_cutMode = 0;
}

void SingleOCRWnd::PlaceView() {
    if (m_view) {
        m_view->MoveWindow(21, 23, 528, 451);
    }
}

ui::LRESULT SingleOCRWnd::HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    if (msg == ui::WM_SIZE) {
        PlaceView();
    }
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void SingleOCRWnd::OnClick(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) {
        return;
    }
    const ui::CDuiString name = msg.pSender->GetName();
    if (m_copy->IsCopyButton(name)) {
        m_copy->Copy();
    } else if (name == L"singleselectpicbtn") {
        ChoosePicture();
    } else if (name == L"adaptationbtn") {
        m_view->FitToWidth();
    } else if (name == L"movebtn") {
        SwitchToMoveMode();
    } else if (name == L"cutbtn") {
        SwitchToCutMode();
    } else if (name == L"zoominbtn") {
        m_view->ZoomIn();
    } else if (name == L"zoomoutbtn") {
        m_view->ZoomOut();
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
        notices::CommonDlg::ShowUnsupportedFormat(GetHWND());
        return;
    }
    // Decoded once, by the decoder and within the limits the conversion
    // uses: a picture that claims more than they allow is a damaged file.
    Picture decoded;
    if (check != PictureAccepted || !decoded.Load(path, ImageFormatFromExtension(path))) {
        notices::CommonDlg::ShowDamagedFile(GetHWND());
        return;
    }
    LeaveRecognition();
    m_currentPicture = path;
    m_pictureFolder = FolderOfPath(path);
    m_view->ShowPicture(decoded);
    if (m_cutMode != 0) {
        SwitchToMoveMode();
    }
    ShowPictureState();
    TellMainWindow(WM_KSOCR_SINGLE_READY);
}

void SingleOCRWnd::ShowPictureState() {
    SetVisible(m_waitOcr, true);
    SetVisible(m_convertingGif, false);
    SetVisible(m_textArea, false);
    m_view->ShowWindow(true, false);
    SetVisible(m_selectPicButton, false);
    SetVisible(m_imageToolbar, true);
    m_uploadButton->ShowWindow(true, false);
    m_deleteButton->ShowWindow(true, false);
}

void SingleOCRWnd::LeaveRecognition() {
    ++*m_currentRun;
    if (m_recognising) {
        m_recognising = false;
        SetVisible(m_convertingGif, false);
        SetPictureButtonsEnabled(true);
    }
}

void SingleOCRWnd::SwitchToMoveMode() {
    LeaveRecognition();
    SetVisible(m_waitOcr, true);
    SetVisible(m_textArea, false);
    SetEnabled(m_moveButton, false);
    SetEnabled(m_cutButton, true);
    m_cutMode = 0;
    m_view->SetMoveMode(true);
    m_view->PaintPicture();
    m_view->ClearCut();
    TellMainWindow(WM_KSOCR_SINGLE_READY);
}

void SingleOCRWnd::SwitchToCutMode() {
    LeaveRecognition();
    SetVisible(m_waitOcr, true);
    SetVisible(m_textArea, false);
    SetEnabled(m_cutButton, false);
    SetEnabled(m_moveButton, true);
    m_cutMode = 1;
    m_view->SetMoveMode(false);
    m_view->EnterCutMode();
    TellMainWindow(WM_KSOCR_SINGLE_READY);
}

void SingleOCRWnd::Reset() {
    LeaveRecognition();
    SetVisible(m_waitOcr, true);
    SetVisible(m_convertingGif, false);
    SetVisible(m_textArea, false);
    SetVisible(m_selectPicButton, true);
    m_view->ShowWindow(false, false);
    SetVisible(m_imageToolbar, false);
    m_uploadButton->ShowWindow(false, false);
    m_deleteButton->ShowWindow(false, false);
    // A failed recognition ends here with the buttons still disabled; the
    // next picture must find them usable.
    SetPictureButtonsEnabled(true);
    m_currentPicture.clear();
    SwitchToMoveMode();
    TellMainWindow(WM_KSOCR_SINGLE_NOPICTURE);
}

std::wstring SingleOCRWnd::ResultPath() const {
    return GetSingleResultPath();
}

bool SingleOCRWnd::IsMoveMode() const {
    return m_view == nullptr || m_view->IsMoveMode();
}

void SingleOCRWnd::ZoomAt(const QPoint& pointInPage, int wheelDelta) {
    if (m_view == nullptr || !m_view->IsMoveMode() || m_view->GetHWND() == nullptr) {
        return;
    }
    m_view->ZoomBy(m_view->GetHWND()->mapFrom(GetHWND(), pointInPage), wheelDelta);
}

void SingleOCRWnd::SetPictureButtonsEnabled(bool enabled) {
    SetEnabled(m_uploadButton->Button(), enabled);
    SetEnabled(m_deleteButton->Button(), enabled);
}

void SingleOCRWnd::StartRecognition() {
    // Without a picture the work file of an earlier one would be recognised.
    if (m_currentPicture.empty()) {
        return;
    }
    const AppContext& app = App();
    ResultPathValue() = ResultPathFor(m_currentPicture, app.useCustomOutputFolder.load() != 0,
                                      app.customOutputFolder.get());
    SetPictureButtonsEnabled(false);
    SetVisible(m_waitOcr, false);
    SetVisible(m_convertingGif, true);
    if (auto* gif = dynamic_cast<ui::CGifAnimUI*>(m_convertingGif)) {
        gif->PlayGif();
    }
    TellMainWindow(WM_KSOCR_SINGLE_RECOGNISING);
    m_view->SaveCut(app.singleCutPicturePath);

    m_recognising = true;
    Job job{m_currentRun,
            ++*m_currentRun,
            m_currentPicture,
            app.singleWorkPicturePath,
            app.singleCutPicturePath,
            ResultPathValue(),
            m_cutMode != 0,
            app.formatType.load(),
            m_recognizer};
    std::thread(&SingleOCRWnd::RecognizeWorker, std::move(job), std::weak_ptr(m_liveness)).detach();
}

void SingleOCRWnd::RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness) {
    std::string text;
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
            WriteResultTextFile(job.resultPath, text + "\r\n");
        }
    }
    const std::wstring wide = AnsiToWide(text);
    RunOnUiThread([&liveness, &wide, &job] {
        auto alive = liveness.lock();
        // Checked again on the UI thread, where the page changes runs.
        if (!alive || !job.IsCurrent()) {
            return;
        }
        alive->page->m_recognising = false;
        if (wide.empty()) {
            alive->page->FailRecognition();
        } else {
            alive->page->ShowResult(wide);
        }
    });
}

void SingleOCRWnd::FailRecognition() {
    Reset();
    notices::CommonDlg::ShowRecognitionFailed(GetHWND());
}

void SingleOCRWnd::ShowResult(const std::wstring& text) {
    if (m_textArea != nullptr) {
        m_textArea->SetText(text);
    }
    SetVisible(m_convertingGif, false);
    SetVisible(m_textArea, true);
    SetPictureButtonsEnabled(true);
    TellMainWindow(WM_KSOCR_SINGLE_DONE);
}

}  // namespace kelsor::jobs
