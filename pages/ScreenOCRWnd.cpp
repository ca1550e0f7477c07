#include "pages/ScreenOCRWnd.h"

#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
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
#include "history/HistoryRecorder.h"
#include "jobs/FileIo.h"
#include "notices/CommonDlg.h"
#include "pages/CScreenShotWnd.h"
#include "pages/PageButtons.h"
#include "pages/PageNaming.h"
#include "pages/ScreenGrab.h"
#include "pages/SingleOCRView.h"
#include "platform/sys/Messages.h"
#include "platform/sys/ShellFolders.h"
#include "platform/ui/MainWindowRef.h"

namespace kelsor::jobs {
namespace {

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

// Everything a worker needs, taken on the UI thread when it starts.
struct ScreenOCRWnd::Job {
    unsigned generation = 0;
    std::wstring captureFile;
    std::wstring cutFile;
    std::wstring resultPath;
    bool useCut = false;
    int formatType = FormatPriority;
    Recognizer recognize;
    std::shared_ptr<history::Recorder> history;
};

ScreenOCRWnd* GetScreenOCRPage() {
    return PagePointer();
}

std::wstring GetScreenResultPath() {
    return ResultPathValue();
}

ScreenOCRWnd::ScreenOCRWnd()
    : RecognitionPage(kOwnerScreenPage, L"cutscreenocr",
                      {WM_KSOCR_SCREEN_NOPICTURE, WM_KSOCR_SCREEN_READY,
                       WM_KSOCR_SCREEN_RECOGNISING, WM_KSOCR_SCREEN_DONE}) {
    PagePointer() = this;
}

ScreenOCRWnd::~ScreenOCRWnd() {
    UploadBtn::SetScreenAction({});
    DeleteBtn::SetScreenAction({});
    if (PagePointer() == this) {
        PagePointer() = nullptr;
    }
}

void ScreenOCRWnd::InitWindow() {
    RecognitionPage::InitWindow();
    UploadBtn::SetScreenAction([this] { StartCapture(); });
    DeleteBtn::SetScreenAction([this] { Reset(); });
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
    CScreenShotWnd capture;
    const int result = RunCaptureAside(capture);
    m_capturing = false;
    ui::CWindowWnd* main = ui::GetMainWindow();
    ShowMainWindow(main != nullptr ? main->GetHWND() : nullptr);
    if (result == 1) {
        SetCapturedPicture(App().screenWorkPicturePath);
        BringPageToFront();
    } else if (capture.SaveFailed()) {
        // The page keeps the picture it had; the user learns the new one is
        // not there.
        notices::CommonDlg::ShowNotice(GetHWND(), notices::notice::kDamagedFile);
    } else if (!capture.GrabFailure().empty()) {
        notices::CommonDlg::ShowNotice(GetHWND(), capture.GrabFailure());
    }
}

int ScreenOCRWnd::RunCaptureAside(CScreenShotWnd& capture) {
    ui::CWindowWnd* main = ui::GetMainWindow();
    QWidget* host = main != nullptr ? main->GetHWND() : nullptr;
    if (host != nullptr && host->isVisible()) {
        main->SendMessage(ui::WM_SYSCOMMAND, ui::SC_MINIMIZE, 0);
    }
    RunEventsFor(kStepAsideMs);
    // Without a window manager nothing minimises, and a Wayland compositor
    // may ignore the request: the window is hidden instead (shown, the modal
    // main window would keep the mouse from the capture window), and what it
    // covered gets its time to repaint.
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (host != nullptr && host->windowHandle() != nullptr &&
        (host->windowHandle()->isExposed() || (wayland && host->isVisible()))) {
        host->hide();
        RunEventsFor(kStepAsideMs);
    }
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
    View()->ShowPicture(path);
    SetPictureButtonsEnabled(true);
    ShowNewPicture();
}

// ---------------------------------------------------------------- the page

void ScreenOCRWnd::DropPicture() {
    ++m_generation;
    m_hasPicture = false;
}

std::wstring ScreenOCRWnd::ResultPath() const {
    return GetScreenResultPath();
}

bool ScreenOCRWnd::CopiesResult() const {
    return App().autoCopyScreenText.load() != 0;
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
    ShowRecognising(app.screenCutPicturePath);

    Job job{m_generation, app.screenWorkPicturePath, app.screenCutPicturePath, ResultPathValue(),
            InCutMode(),  app.formatType.load(),     CurrentRecognizer(),      History()};
    std::thread(&ScreenOCRWnd::RecognizeWorker, std::move(job), Alive()).detach();
}

void ScreenOCRWnd::RecognizeWorker(Job job, std::weak_ptr<Liveness> liveness) {
    // The capture is a JPEG already: no conversion step.
    const std::wstring& source = job.useCut ? job.cutFile : job.captureFile;
    const std::string text = job.recognize ? job.recognize(job.formatType, source) : std::string();
    // Written even when a newer capture has replaced the picture meanwhile.
    const bool written = !text.empty() && WriteResultTextFile(job.resultPath, text + "\r\n");
    Deliver(liveness, job.generation, AnsiToWide(text));
    // The next capture overwrites the work file: the history keeps a copy.
    if (!text.empty()) {
        job.history->Record(history::Road::Screen, source,
                            written ? job.resultPath : std::wstring(), AnsiToWide(text), true);
    }
}

}  // namespace kelsor::jobs
