#include "pages/SingleOCRWnd.h"

#include <sys/stat.h>

#include <QWidget>
#include <thread>
#include <utility>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/FileIo.h"
#include "jobs/PictureUtils.h"
#include "notices/CommonDlg.h"
#include "pages/PageButtons.h"
#include "pages/PageNaming.h"
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
      m_liveness(std::make_shared<Liveness>(Liveness{this})) {
    PagePointer() = this;
}

SingleOCRWnd::~SingleOCRWnd() {
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
    if (name == L"singleselectpicbtn") {
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
    switch (CheckPictureFile(path)) {
        case PictureUnsupported:
            notices::CommonDlg::ShowUnsupportedFormat(GetHWND());
            return;
        case PictureDamaged:
            notices::CommonDlg::ShowDamagedFile(GetHWND());
            return;
        default:
            break;
    }
    m_currentPicture = path;
    m_pictureFolder = FolderOfPath(path);
    m_view->ShowPicture(path);
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

void SingleOCRWnd::SwitchToMoveMode() {
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

    Job job{m_currentPicture,
            app.singleWorkPicturePath,
            app.singleCutPicturePath,
            ResultPathValue(),
            m_cutMode != 0,
            app.formatType.load(),
            m_recognizer};
    std::thread(&SingleOCRWnd::RecognizeWorker, std::move(job), std::weak_ptr(m_liveness)).detach();
}

void SingleOCRWnd::RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness) {
    // A conversion that fails must not leave an earlier picture's work file
    // to be recognised in its place.
    RemoveFile(job.workFile);
    ConvertPictureToJpeg(100, job.picture, job.workFile);
    const std::wstring& source = job.useCut ? job.cutFile : job.workFile;
    const std::string text = job.recognize ? job.recognize(job.formatType, source) : std::string();
    if (text.empty()) {
        RunOnUiThread([&liveness] {
            if (auto alive = liveness.lock()) {
                alive->page->FailRecognition();
            }
        });
        return;
    }
    // A result file that cannot be written still leaves the text on show.
    WriteResultTextFile(job.resultPath, text + "\r\n");
    const std::wstring wide = AnsiToWide(text);
    RunOnUiThread([&liveness, &wide] {
        if (auto alive = liveness.lock()) {
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
