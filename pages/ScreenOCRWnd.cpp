#include "pages/ScreenOCRWnd.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>
#include <thread>
#include <utility>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "cloud/RecognizePictureText.h"
#include "jobs/FileIo.h"
#include "notices/CommonDlg.h"
#include "pages/CScreenShotWnd.h"
#include "pages/PageButtons.h"
#include "pages/PageControls.h"
#include "pages/PageNaming.h"
#include "pages/ResultCopy.h"
#include "pages/ScreenGrab.h"
#include "pages/SingleOCRView.h"
#include "pages/UiThread.h"
#include "platform/sys/Messages.h"
#include "platform/sys/ShellFolders.h"
#include "platform/ui/MainWindowRef.h"

namespace kelsor::jobs {
namespace {

constexpr ui::UINT kChildStyle =
    ui::WS_CHILD | ui::WS_VISIBLE | ui::WS_CLIPSIBLINGS | ui::WS_CLIPCHILDREN;
constexpr int kScreenTab = 2;
// How long the main window gets to step aside before the screen is grabbed.
constexpr int kStepAsideMs = 100;

ScreenOCRWnd*& PagePointer() {
    static ScreenOCRWnd* page = nullptr;
    return page;
}

std::wstring& ResultPathValue() {
    static std::wstring path;
    return path;
}

// Runs events for `ms` milliseconds: the window manager acts and what was
// under the main window repaints.
void RunEventsFor(int ms) {
    QEventLoop wait;
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    wait.exec();
}

void ShowMainWindow(QWidget* main) {
    if (main != nullptr) {
        main->showNormal();
        main->raise();
        main->activateWindow();
    }
}

}  // namespace

// Lives as long as the page object; only touched on the UI thread.
struct ScreenOCRWnd::Liveness {
    ScreenOCRWnd* page;
};

// Everything a worker needs, taken on the UI thread when it starts.
struct ScreenOCRWnd::Job {
    unsigned generation = 0;
    std::wstring captureFile;
    std::wstring cutFile;
    std::wstring resultPath;
    bool useCut = false;
    int formatType = FormatPriority;
    Recognizer recognize;
};

ScreenOCRWnd* GetScreenOCRPage() {
    return PagePointer();
}

std::wstring GetScreenResultPath() {
    return ResultPathValue();
}

ScreenOCRWnd::ScreenOCRWnd()
    : m_recognizer(&kelsor::RecognizePictureText),
      m_liveness(std::make_shared<Liveness>(Liveness{this})) {
    PagePointer() = this;
}

ScreenOCRWnd::~ScreenOCRWnd() {
    m_liveness.reset();
    UploadBtn::SetScreenAction({});
    DeleteBtn::SetScreenAction({});
    if (PagePointer() == this) {
        PagePointer() = nullptr;
    }
}

void ScreenOCRWnd::OnFinalMessage(ui::HWND) {
    delete this;
}

void ScreenOCRWnd::SetRecognizer(Recognizer recognizer) {
    m_recognizer = recognizer ? std::move(recognizer) : Recognizer(&kelsor::RecognizePictureText);
}

void ScreenOCRWnd::InitWindow() {
    ui::CPaintManagerUI& pm = m_PaintManager;
    m_cutScreenHint = pm.FindControl(L"cutscreenocr");
    m_imageToolbar = pm.FindControl(L"imagetoolbar");
    m_moveButton = pm.FindControl(L"movebtn");
    m_cutButton = pm.FindControl(L"cutbtn");
    m_waitOcr = pm.FindControl(L"waitocr");
    m_convertingGif = pm.FindControl(L"covertinggif");
    m_textArea = pm.FindControl(L"ocrtextarea");
    m_copy = std::make_unique<ResultCopy>(pm);
    EnableControl(m_moveButton, false);
    EnableControl(m_cutButton, true);

    m_view = std::make_unique<SingleOCRView>();
    m_view->Create(GetHWND(), L"SingleOCRView", kChildStyle, 0);
    m_view->ShowWindow(false, false);
    PlaceView();

    m_uploadButton = std::make_unique<UploadBtn>(kOwnerScreenPage);
    m_uploadButton->Create(GetHWND(), L"UploadBtn", kChildStyle, 0);
    m_uploadButton->MoveWindow(363, 32, 92, 30);
    m_deleteButton = std::make_unique<DeleteBtn>(kOwnerScreenPage);
    m_deleteButton->Create(GetHWND(), L"DeleteBtn", kChildStyle, 0);
    m_deleteButton->MoveWindow(465, 32, 72, 30);
    UploadBtn::SetScreenAction([this] { StartCapture(); });
    DeleteBtn::SetScreenAction([this] { Reset(); });

    ShowControl(m_waitOcr, true);
    ShowControl(m_convertingGif, false);
    ShowControl(m_textArea, false);
    ShowPictureControls(false);
    m_cutMode = 0;
}

void ScreenOCRWnd::PlaceView() {
    if (m_view) {
        m_view->MoveWindow(21, 23, 528, 451);
    }
}

ui::LRESULT ScreenOCRWnd::HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    if (msg == ui::WM_SIZE) {
        PlaceView();
    }
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void ScreenOCRWnd::OnClick(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) {
        return;
    }
    const ui::CDuiString name = msg.pSender->GetName();
    if (m_copy->IsCopyButton(name)) {
        m_copy->Copy();
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

// ------------------------------------------------------------------ capture

void ScreenOCRWnd::StartCapture() {
    // Ctrl+2 reaches here again while a capture holds the keyboard.
    if (m_capturing) {
        return;
    }
    const std::string unavailable = ScreenGrabUnavailable();
    if (!unavailable.empty()) {
        std::fprintf(stderr, "KelsorOCR: %s\n", unavailable.c_str());
        return;
    }
    m_capturing = true;
    ++m_capturesRun;
    const int result = RunCaptureAside();
    m_capturing = false;
    ui::CWindowWnd* main = ui::GetMainWindow();
    if (result == 1) {
        SetCapturedPicture(App().screenWorkPicturePath);
        ShowMainWindow(main != nullptr ? main->GetHWND() : nullptr);
        BringPageToFront();
    } else {
        ShowMainWindow(main != nullptr ? main->GetHWND() : nullptr);
    }
}

int ScreenOCRWnd::RunCaptureAside() {
    ui::CWindowWnd* main = ui::GetMainWindow();
    QWidget* host = main != nullptr ? main->GetHWND() : nullptr;
    if (host != nullptr && host->isVisible()) {
        main->SendMessage(ui::WM_SYSCOMMAND, ui::SC_MINIMIZE, 0);
    }
    RunEventsFor(kStepAsideMs);
    // Without a window manager nothing minimises: the window is hidden
    // instead, and what it covered gets its time to repaint.
    if (host != nullptr && host->windowHandle() != nullptr && host->windowHandle()->isExposed()) {
        host->hide();
        RunEventsFor(kStepAsideMs);
    }
    CScreenShotWnd capture;
    return capture.RunCapture(App().screenWorkPicturePath);
}

void ScreenOCRWnd::BringPageToFront() {
    auto* main = dynamic_cast<ui::WindowImplBase*>(ui::GetMainWindow());
    if (main == nullptr) {
        return;
    }
    ui::CPaintManagerUI& pm = main->PaintManager();
    if (auto* option = dynamic_cast<ui::COptionUI*>(pm.FindControl(L"screenocropt"))) {
        if (!option->IsSelected()) {
            option->Selected(true);
        }
    }
    for (const wchar_t* name : {L"OCRTabModule", L"ConvertTabModule"}) {
        if (auto* tab = dynamic_cast<ui::CTabLayoutUI*>(pm.FindControl(name))) {
            tab->SelectItem(kScreenTab);
        }
    }
    // The other pages are the main window's children named by their class.
    for (QObject* child : main->GetHWND()->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        const QString name = child->objectName();
        if (widget != nullptr &&
            (name == QLatin1String("SingleOCRWnd") || name == QLatin1String("BatchOCRWnd"))) {
            widget->hide();
        }
    }
    ShowWindow(true, false);
}

void ScreenOCRWnd::SetCapturedPicture(const std::wstring& path) {
    if (path.empty() || !QFile::exists(QString::fromStdWString(path))) {
        return;
    }
    // A recognition still running belongs to the picture before.
    ++m_generation;
    m_hasPicture = true;
    m_view->ShowPicture(path);
    if (m_cutMode != 0) {
        SwitchToMoveMode();
    }
    ShowControl(m_waitOcr, true);
    ShowControl(m_convertingGif, false);
    ShowControl(m_textArea, false);
    ShowPictureControls(true);
    SetPictureButtonsEnabled(true);
    SendPageMessage(WM_KSOCR_SCREEN_READY);
}

void ScreenOCRWnd::ShowPictureControls(bool shown) {
    m_view->ShowWindow(shown, false);
    ShowControl(m_cutScreenHint, !shown);
    ShowControl(m_imageToolbar, shown);
    m_uploadButton->ShowWindow(shown, false);
    m_deleteButton->ShowWindow(shown, false);
}

// ---------------------------------------------------------------- the page

void ScreenOCRWnd::SwitchToMoveMode() {
    ShowControl(m_waitOcr, true);
    ShowControl(m_textArea, false);
    EnableControl(m_moveButton, false);
    EnableControl(m_cutButton, true);
    m_cutMode = 0;
    m_view->SetMoveMode(true);
    m_view->PaintPicture();
    m_view->ClearCut();
    SendPageMessage(WM_KSOCR_SCREEN_READY);
}

void ScreenOCRWnd::SwitchToCutMode() {
    ShowControl(m_waitOcr, true);
    ShowControl(m_textArea, false);
    EnableControl(m_cutButton, false);
    EnableControl(m_moveButton, true);
    m_cutMode = 1;
    m_view->SetMoveMode(false);
    m_view->EnterCutMode();
    SendPageMessage(WM_KSOCR_SCREEN_READY);
}

void ScreenOCRWnd::Reset() {
    ++m_generation;
    m_hasPicture = false;
    ShowControl(m_waitOcr, true);
    ShowControl(m_convertingGif, false);
    ShowControl(m_textArea, false);
    ShowPictureControls(false);
    // A failed recognition ends here with the buttons disabled.
    SetPictureButtonsEnabled(true);
    SwitchToMoveMode();
    SendPageMessage(WM_KSOCR_SCREEN_NOPICTURE);
}

std::wstring ScreenOCRWnd::ResultPath() const {
    return GetScreenResultPath();
}

bool ScreenOCRWnd::IsMoveMode() const {
    return m_view == nullptr || m_view->IsMoveMode();
}

void ScreenOCRWnd::ZoomAt(const QPoint& pointInPage, int wheelDelta) {
    if (m_view == nullptr || !m_view->IsMoveMode() || m_view->GetHWND() == nullptr) {
        return;
    }
    m_view->ZoomBy(m_view->GetHWND()->mapFrom(GetHWND(), pointInPage), wheelDelta);
}

void ScreenOCRWnd::SetPictureButtonsEnabled(bool enabled) {
    EnableControl(m_uploadButton->Button(), enabled);
    EnableControl(m_deleteButton->Button(), enabled);
}

// -------------------------------------------------------------- recognition

void ScreenOCRWnd::StartRecognition() {
    // Without a capture an earlier run's file would be recognised.
    if (!m_hasPicture) {
        return;
    }
    const AppContext& app = App();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    ResultPathValue() =
        ScreenResultFolder(app.useCustomOutputFolder.load() != 0, app.customOutputFolder.get(),
                           app.desktopFolder, platform::GetShellFolder(platform::kFolderPersonal)) +
        TimeStampedResultName(local);
    SetPictureButtonsEnabled(false);
    ShowControl(m_waitOcr, false);
    ShowControl(m_convertingGif, true);
    if (auto* gif = dynamic_cast<ui::CGifAnimUI*>(m_convertingGif)) {
        gif->PlayGif();
    }
    SendPageMessage(WM_KSOCR_SCREEN_RECOGNISING);
    m_view->SaveCut(app.screenCutPicturePath);

    Job job{m_generation,
            app.screenWorkPicturePath,
            app.screenCutPicturePath,
            ResultPathValue(),
            m_cutMode != 0,
            app.formatType.load(),
            m_recognizer};
    std::thread(&ScreenOCRWnd::RecognizeWorker, std::move(job), std::weak_ptr(m_liveness)).detach();
}

void ScreenOCRWnd::RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness) {
    // The capture is a JPEG already: no conversion step.
    const std::wstring& source = job.useCut ? job.cutFile : job.captureFile;
    const std::string text = job.recognize ? job.recognize(job.formatType, source) : std::string();
    if (text.empty()) {
        RunOnUiThread([&liveness, &job] {
            if (auto alive = liveness.lock()) {
                alive->page->FailRecognition(job.generation);
            }
        });
        return;
    }
    // Written even when a newer capture has replaced the picture meanwhile.
    WriteResultTextFile(job.resultPath, text + "\r\n");
    const std::wstring wide = AnsiToWide(text);
    RunOnUiThread([&liveness, &job, &wide] {
        if (auto alive = liveness.lock()) {
            alive->page->ShowResult(job.generation, wide);
        }
    });
}

void ScreenOCRWnd::FailRecognition(unsigned generation) {
    if (generation != m_generation) {
        return;
    }
    Reset();
    notices::CommonDlg::ShowRecognitionFailed(GetHWND());
}

void ScreenOCRWnd::ShowResult(unsigned generation, const std::wstring& text) {
    if (generation != m_generation) {
        return;
    }
    if (m_textArea != nullptr) {
        m_textArea->SetText(text);
    }
    ShowControl(m_convertingGif, false);
    ShowControl(m_textArea, true);
    if (App().autoCopyScreenText.load() != 0) {
        m_copy->Copy();
    }
    SetPictureButtonsEnabled(true);
    SendPageMessage(WM_KSOCR_SCREEN_DONE);
}

}  // namespace kelsor::jobs
