#include "shell/CMainWnd.h"

#include <QApplication>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <cstdio>
#include <filesystem>

#include "account/Session.h"
#include "account/UserInfo.h"
#include "app/AppContext.h"
#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "companion/Converter.h"
#include "notices/CommonDlg.h"
#include "pages/BatchOCRWnd.h"
#include "pages/ScreenGrabPortal.h"
#include "pages/ScreenOCRWnd.h"
#include "platform/sys/Messages.h"
#include "platform/sys/Process.h"
#include "platform/ui/FileDrop.h"
#include "platform/ui/MainWindowRef.h"
#include "shell/CHotKeyWnd.h"
#include "shell/CMainMenuWnd.h"
#include "shell/CUserCenterInfoWnd.h"
#include "shell/ConverterHint.h"
#include "shell/DesktopShortcut.h"
#include "shell/MainWndRules.h"
#include "shell/ProgramIcon.h"
#include "shell/SinglePageLink.h"
#include "shell/TrayIcon.h"

#include "account/windows/AccountWindows.h"

namespace kelsor::shell {

using namespace kelsor::ui;

namespace {
constexpr int kSiblingStartDelay = 500;  // ms
}  // namespace
using jobs::BatchOCRWnd;
using jobs::ScreenOCRWnd;
using notices::CommonDlg;

namespace {

bool IsFile(const std::wstring& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(WideToAnsi(path), ec);
}

bool IsFolder(const std::wstring& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(WideToAnsi(path), ec);
}

bool Exists(const std::wstring& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(WideToAnsi(path), ec);
}

template <typename T>
T* Find(CPaintManagerUI& pm, const wchar_t* name) {
    return dynamic_cast<T*>(pm.FindControl(name));
}

void SetVisible(CControlUI* control, bool visible) {
    if (control != nullptr)
        control->SetVisible(visible);
}

void SetEnabled(CControlUI* control, bool enabled) {
    if (control != nullptr)
        control->SetEnabled(enabled);
}

// The converter worker keeps its window port for as long as it runs, which
// may outlive the main window; this one lives as long as the process and
// finds the main window on the UI thread at each use.
class ConverterPort : public ConverterWindowPort {
public:
    void ShowConverterFetching() override {
        if (auto* main = dynamic_cast<CMainWnd*>(GetMainWindow()))
            main->ShowConverterFetching();
    }
    void SendMessage(WindowMessage message) override {
        auto deliver = [message] {
            if (CWindowWnd* main = GetMainWindow())
                main->SendMessage(message);
        };
        if (qApp == nullptr)
            return;
        if (QThread::currentThread() == qApp->thread())
            deliver();
        else
            QMetaObject::invokeMethod(qApp, deliver, Qt::BlockingQueuedConnection);
    }
};

ConverterPort& TheConverterPort() {
    static ConverterPort port;
    return port;
}

// The room the account area leaves for the name beside the 40-pixel picture
// and the 7-pixel margin.
constexpr int kNicknameMaxWidth = 200 - 40 - 7;

}  // namespace

CMainWnd::CMainWnd() {
    SetMainWindow(this);
}

CMainWnd::~CMainWnd() {
    m_closing = true;
    m_hotKey.Unregister();
    if (GetMainWindow() == this)
        SetMainWindow(nullptr);
}

void CMainWnd::OnFinalMessage(HWND hwnd) {
    WindowImplBase::OnFinalMessage(hwnd);
    delete this;
}

CWindowWnd* CMainWnd::Page(int index) {
    if (index < 0 || index >= 3)
        return nullptr;
    if (m_pages[index] == nullptr)
        m_pages[index] = CreatePage(index);
    return m_pages[index];
}

BatchOCRWnd* CMainWnd::BatchPage() {
    return static_cast<BatchOCRWnd*>(Page(kBatchPage));
}

ScreenOCRWnd* CMainWnd::ScreenPage() {
    return static_cast<ScreenOCRWnd*>(Page(kScreenPage));
}

// ----------------------------------------------------------- initialisation

void CMainWnd::InitWindow() {
    // Every window of the program carries the launcher's icon.
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(ProgramIcon());
    SetIcon(107);
    GetHWND()->setAcceptDrops(true);
    RegisterHotKey();
    m_tray = std::make_unique<TrayIcon>(
        ProgramIcon(),
        TrayIcon::Actions{[this] { CWindowWnd::PostMessage(WM_KSOCR_STARTCAPTURE, 0, 0); },
                          [this] { BringToFront(); }, [this] { QuitFromTray(); }});
    FindControls();
    if (m_dirPath != nullptr)
        m_dirPath->SetText(App().customOutputFolder.get());
    App().useCustomOutputFolder = 0;
    SetEnabled(m_dirPath, false);
    SetEnabled(m_changeDirBtn, false);
    SetEnabled(m_openDirBtn, false);
    CWindowWnd* single = Page(kSinglePage);
    if (single == nullptr)
        return;
    single->ShowWindow(true, false);
    // The siblings start once the window is up: started with it, their own
    // start-ups (two more Qt programs) would compete with its first showing.
    QTimer::singleShot(kSiblingStartDelay, GetHWND(), [this] { StartSiblingPrograms(); });
    RestoreSession(*this);
}

void CMainWnd::RegisterHotKey() {
    m_hotKeyInUse = LoadHotKey(App().configPath);
    const std::wstring name = HotKeyName(m_hotKeyInUse);
    if (jobs::IsWaylandSession()) {
        // The desktop owns the keys: its GlobalShortcuts portal binds ours
        // where it has one; everywhere "KelsorOCR --capture" can be bound in
        // its keyboard settings.
        m_desktopShortcut = std::make_unique<DesktopShortcut>(
            QDBusConnection::sessionBus(),
            [this] { PostMessage(WM_HOTKEY, static_cast<WPARAM>(kScreenCaptureHotKeyId), 0); });
        m_desktopShortcut->Bind(m_hotKeyInUse);
        return;
    }
    const GlobalHotKey::Result result = m_hotKey.Register(m_hotKeyInUse, [this] {
        PostMessage(WM_HOTKEY, static_cast<WPARAM>(kScreenCaptureHotKeyId), 0);
    });
    if (result == GlobalHotKey::Result::kTaken) {
        CommonDlg::ShowNotice(GetHWND(), notices::notice::HotKeyTakenText(name));
    } else if (result == GlobalHotKey::Result::kNoX11) {
        // Nobody holds the key: there is no X server to hold it on. No
        // notice fits that, so the log says it and the program works on.
        std::fprintf(stderr, "KelsorOCR: no X server: no hot key %s, no screen capture\n",
                     qPrintable(QString::fromStdWString(name)));
    } else if (result == GlobalHotKey::Result::kNoSuchKey) {
        std::fprintf(stderr, "KelsorOCR: no key on this keyboard for the hot key %s\n",
                     qPrintable(QString::fromStdWString(name)));
    }
}

void CMainWnd::OpenHotKeyWindow() {
    CHotKeyWnd wnd(m_hotKeyInUse, [this](const HotKey& key) {
        if (m_desktopShortcut != nullptr) {
            // The desktop may offer the key or choose another; ours is the
            // preference.
            m_desktopShortcut->Bind(key);
            return m_desktopShortcut->state() == DesktopShortcut::State::kBound
                       ? GlobalHotKey::Result::kRegistered
                       : GlobalHotKey::Result::kNoX11;
        }
        return m_hotKey.Change(key);
    });
    if (m_desktopShortcut != nullptr &&
        m_desktopShortcut->state() != DesktopShortcut::State::kBound) {
        const std::wstring self = App().selfPath.empty() ? L"KelsorOCR" : App().selfPath;
        wnd.ShowDesktopCommand(self + L" --capture");
    }
    wnd.Create(GetHWND(), L"HotKeyWnd", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW);
    wnd.CenterWindow();
    // A press of the key in use while another is chosen starts no capture.
    m_choosingHotKey = true;
    wnd.ShowModal();
    m_choosingHotKey = false;
    m_hotKeyInUse = wnd.Current();
}

void CMainWnd::FindControls() {
    CPaintManagerUI& pm = m_PaintManager;
    m_ocrTab = Find<CTabLayoutUI>(pm, L"OCRTabModule");
    m_convertTab = Find<CTabLayoutUI>(pm, L"ConvertTabModule");
    m_singleOpt = Find<COptionUI>(pm, L"singleocropt");
    m_batchOpt = Find<COptionUI>(pm, L"batchocropt");
    m_screenOpt = Find<COptionUI>(pm, L"screenocropt");
    m_pdfConvertBtn = Find<CButtonUI>(pm, L"pdfconvertbtn");
    m_pdfConvertGif = Find<CGifAnimUI>(pm, L"pdfconvertgif");
    m_loginIcoBtn = Find<CButtonUI>(pm, L"loginicobtn");
    m_loginBtn = Find<CButtonUI>(pm, L"loginbtn");
    m_userHead = Find<CControlUI>(pm, L"userhead");
    m_userHeadBtn = Find<CButtonUI>(pm, L"userheadbtn");
    m_nickname = Find<CButtonUI>(pm, L"nickname");
    m_sourceDirRadio = Find<COptionUI>(pm, L"sourcedirradio");
    m_customDirRadio = Find<COptionUI>(pm, L"customdirradio");
    m_dirPath = Find<CEditUI>(pm, L"ocrdirpath");
    m_changeDirBtn = Find<CButtonUI>(pm, L"changedirpathbtn");
    m_openDirBtn = Find<CButtonUI>(pm, L"opendirpathbtn");
    m_formatRadio = Find<COptionUI>(pm, L"formatradio");
    m_editRadio = Find<COptionUI>(pm, L"editradio");
    m_singleRow = {Find<CButtonUI>(pm, L"singleconvertbtn"),
                   Find<CControlUI>(pm, L"singleconverting"),
                   Find<CButtonUI>(pm, L"singleconvertedbtn")};
    m_batchConvertBtn = Find<CButtonUI>(pm, L"batchconvertbtn");
    m_screenRow = {Find<CButtonUI>(pm, L"screenconvertbtn"),
                   Find<CControlUI>(pm, L"screenconverting"),
                   Find<CButtonUI>(pm, L"screenconvertedbtn")};
    m_menuBtn = Find<CButtonUI>(pm, L"menubtn");
    m_miniBtn = Find<CButtonUI>(pm, L"minibtn");
    m_closeBtn = Find<CButtonUI>(pm, L"closebtn");
}

// Popups are owned by this window and keep out of the task bar; they are
// created hidden and shown only on request.
CMainMenuWnd* CMainWnd::MainMenu() {
    if (m_menu == nullptr) {
        m_menu = new CMainMenuWnd();
        m_menu->SetHotKeyAction([this] { OpenHotKeyWindow(); });
        m_menu->Create(GetHWND(), L"MainMenuWnd", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE,
                       WS_EX_TOOLWINDOW);
        m_menu->ShowWindow(false);
    }
    return m_menu;
}

CUserCenterInfoWnd* CMainWnd::UserCenter() {
    if (m_userCenter == nullptr) {
        m_userCenter = new CUserCenterInfoWnd(*this);
        m_userCenter->Create(GetHWND(), L"UserCenterInfoWnd", UI_WNDSTYLE_DIALOG & ~WS_VISIBLE,
                             WS_EX_TOOLWINDOW);
        m_userCenter->ShowWindow(false);
    }
    return m_userCenter;
}

CWindowWnd* CMainWnd::CreatePage(int index) {
    CWindowWnd* page = nullptr;
    if (index == kSinglePage) {
        page = single_page::Create(GetHWND());
    } else if (index == kBatchPage) {
        page = new BatchOCRWnd();
        page->Create(GetHWND(), L"BatchOCRWnd", UI_WNDSTYLE_CHILD, 0);
    } else {
        page = new ScreenOCRWnd();
        page->Create(GetHWND(), L"ScreenOCRWnd", UI_WNDSTYLE_CHILD, 0);
    }
    if (page == nullptr)
        return nullptr;
    const QRect area = PageRect(GetClientRect());
    page->ShowWindow(false, false);
    page->MoveWindow(area.x(), area.y(), area.width(), area.height());
    return page;
}

void CMainWnd::StartSiblingPrograms() {
    // Absent programs are skipped; a failed start is of no concern here.
    if (IsFile(App().statsPath))
        platform::StartProgram(App().statsPath, {L"-KSOCRStartUp"});
    if (IsFile(App().updaterPath))
        platform::StartProgram(App().updaterPath, {});
}

// ----------------------------------------------------------------- messages

LRESULT CMainWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_closing)
        return WindowImplBase::HandleMessage(msg, wParam, lParam);
    switch (msg) {
        case WM_KSOCR_BRINGTOFRONT:
            BringToFront();
            break;
        case WM_KSOCR_SINGLE_NOPICTURE:
        case WM_KSOCR_SINGLE_READY:
        case WM_KSOCR_SINGLE_RECOGNISING:
        case WM_KSOCR_SINGLE_DONE:
            ShowStartRow(m_singleRow, static_cast<int>(msg - WM_KSOCR_SINGLE_NOPICTURE));
            break;
        case WM_KSOCR_BATCH_ENABLESTART:
            SetEnabled(m_batchConvertBtn, true);
            break;
        case WM_KSOCR_BATCH_DISABLESTART:
            SetEnabled(m_batchConvertBtn, false);
            break;
        case WM_KSOCR_SCREEN_NOPICTURE:
        case WM_KSOCR_SCREEN_READY:
        case WM_KSOCR_SCREEN_RECOGNISING:
        case WM_KSOCR_SCREEN_DONE:
            ShowStartRow(m_screenRow, static_cast<int>(msg - WM_KSOCR_SCREEN_NOPICTURE));
            break;
        case WM_KSOCR_OPENLOGIN:
            OpenRegisterLoginWindow();
            break;
        case WM_KSOCR_QQCLOSED:
            CloseAccountWindow(AccountWindowKind::QQLogin);
            OpenRegisterLoginWindow();
            return 1;  // answered here, not passed on
        case WM_KSOCR_WECHATCLOSED:
            CloseAccountWindow(AccountWindowKind::WeChatLogin);
            OpenRegisterLoginWindow();
            break;
        case WM_KSOCR_OPENBINDPHONE:
            OpenBindPhoneWindow();
            break;
        case WM_KSOCR_BINDPHONECLOSED:
            CloseAccountWindow(AccountWindowKind::BindCellPhone);
            break;
        case WM_KSOCR_LOGGEDOUT:
            ShowSignedOut();
            break;
        case WM_KSOCR_AUTOLOGINREPLY:
            HandleAutoLoginReply(*this);
            break;
        case WM_KSOCR_CONVERTERFETCHED:
            OnConverterFetched();
            break;
        case WM_HOTKEY:
            if (wParam == static_cast<WPARAM>(kScreenCaptureHotKeyId) && !m_choosingHotKey)
                OnScreenCaptureHotKey();
            break;
        case WM_KSOCR_STARTCAPTURE:
            // "KelsorOCR --capture", the launcher's action, the tray.
            if (!m_choosingHotKey)
                OnScreenCaptureHotKey();
            break;
        case WM_MOUSEWHEEL:
            OnMouseWheel(wParam, lParam);
            break;
        case WM_CLOSE:
            m_closing = true;
            break;
        default:
            break;
    }
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CMainWnd::SendMessage(WindowMessage message) {
    CWindowWnd::SendMessage(message, 0, 0);
}

void CMainWnd::PostMessage(WindowMessage message) {
    CWindowWnd::PostMessage(message, 0, 0);
}

LRESULT CMainWnd::OnSysCommand(UINT, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (wParam != SC_CLOSE)
        return 0;
    // The system close ends the modal run through a queued quit, leaving
    // the window to the end of the process.
    handled = true;
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    return 0;
}

bool CMainWnd::HostEvent(QEvent* event) {
    if (ui::HandleFileDrop(event, [this](std::vector<std::wstring> paths) { DropFiles(paths); }))
        return true;
    switch (event->type()) {
        case QEvent::Wheel: {
            // As the system's wheel message: delta in the high word, the
            // pointer's screen position in lParam.
            auto* e = static_cast<QWheelEvent*>(event);
            const QPoint screen = e->globalPosition().toPoint();
            const auto delta =
                static_cast<std::uint16_t>(static_cast<std::int16_t>(e->angleDelta().y()));
            CWindowWnd::SendMessage(WM_MOUSEWHEEL, static_cast<WPARAM>(delta) << 16,
                                    MakeLParam(screen.x(), screen.y()));
            return true;
        }
        default:
            return false;
    }
}

// -------------------------------------------------------------- the pages

void CMainWnd::OnSelectChanged(TNotifyUI& msg) {
    if (msg.pSender == nullptr)
        return;
    const int index = PageIndexForOption(msg.pSender->GetName());
    if (index >= 0)
        ShowPage(index);
}

void CMainWnd::ShowPage(int index) {
    m_page = index;
    if (index == kScreenPage && m_screenOpt != nullptr && !m_screenOpt->IsSelected())
        m_screenOpt->Selected(true);
    if (m_ocrTab != nullptr)
        m_ocrTab->SelectItem(index);
    if (m_convertTab != nullptr)
        m_convertTab->SelectItem(index);
    Page(index);
    for (int i = 0; i < 3; ++i) {
        if (m_pages[i] != nullptr)
            m_pages[i]->ShowWindow(i == index, false);
    }
}

void CMainWnd::ShowStartRow(const StartRow& row, int state) {
    const StartRowLook look = StartRowFor(state);
    SetVisible(row.start, look.startVisible);
    SetEnabled(row.start, look.startEnabled);
    SetVisible(row.running, look.runningVisible);
    SetVisible(row.done, look.doneVisible);
}

void CMainWnd::DropFiles(const std::vector<std::wstring>& paths) {
    if (paths.empty())
        return;
    if (m_page == kSinglePage) {
        const std::wstring& first = paths.front();
        if (IsFolder(first))
            CommonDlg::ShowNotice(GetHWND(), notices::notice::kFolderDropped);
        else
            single_page::SetPicture(first);
    }
    if (m_page == kBatchPage) {
        if (BatchOCRWnd* batchPage = BatchPage())
            batchPage->AddDroppedPaths(paths);
    }
    // The screen page's picture only ever comes from a capture.
}

void CMainWnd::OnMouseWheel(WPARAM wParam, LPARAM lParam) {
    if (GetHWND() == nullptr)
        return;
    const QPoint screen(static_cast<std::int16_t>(lParam & 0xFFFF),
                        static_cast<std::int16_t>((lParam >> 16) & 0xFFFF));
    const QPoint client = GetHWND()->mapFromGlobal(screen);
    if (!IsInWheelArea(client))
        return;
    const int delta = static_cast<std::int16_t>((wParam >> 16) & 0xFFFF);
    CWindowWnd* page = Page(m_page);
    if (page == nullptr || page->GetHWND() == nullptr)
        return;
    const QPoint inPage = page->GetHWND()->mapFrom(GetHWND(), client);
    if (m_page == kSinglePage) {
        if (single_page::IsMoveMode())
            single_page::ZoomAt(inPage, delta);
    } else if (m_page == kScreenPage) {
        ScreenOCRWnd* screenPage = ScreenPage();
        if (screenPage != nullptr && screenPage->IsMoveMode())
            screenPage->ZoomAt(inPage, delta);
    }
}

void CMainWnd::OnScreenCaptureHotKey() {
    if (ScreenOCRWnd* screenPage = ScreenPage())
        screenPage->StartCapture();
}

void CMainWnd::QuitFromTray() {
    // Inside a dialog or a capture the windows are still in use: the user
    // sees what holds the program instead.
    QWidget* modal = QApplication::activeModalWidget();
    const auto* screen = static_cast<ScreenOCRWnd*>(m_pages[kScreenPage]);
    if ((modal != nullptr && modal != GetHWND()) || m_choosingHotKey ||
        (screen != nullptr && screen->IsCapturing())) {
        if (modal != nullptr)
            modal->activateWindow();
        return;
    }
    m_closing = true;
    Close(1);
}

void CMainWnd::BringToFront() {
    QWidget* w = GetHWND();
    if (w == nullptr)
        return;
    w->showNormal();
    w->raise();
    w->activateWindow();
}

// ----------------------------------------------------------------- clicks

void CMainWnd::OnClick(TNotifyUI& msg) {
    if (msg.pSender == nullptr)
        return;
    const CDuiString name = msg.pSender->GetName();
    if (name == L"closebtn") {
        m_closing = true;
        Close(1);
    } else if (name == L"minibtn") {
        CWindowWnd::SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (name == L"menubtn") {
        ShowMainMenu();
    } else if (name == L"pdfconvertbtn") {
        OnConverterButtonClick(TheConverterPort());
    } else if (name == L"loginicobtn" || name == L"loginbtn") {
        OpenRegisterLoginWindow();
    } else if (name == L"userheadbtn" || name == L"nickname") {
        ShowUserCenter();
    } else if (name == L"sourcedirradio") {
        App().useCustomOutputFolder = 0;
        SetEnabled(m_dirPath, false);
        SetEnabled(m_changeDirBtn, false);
        SetEnabled(m_openDirBtn, false);
    } else if (name == L"customdirradio") {
        App().useCustomOutputFolder = 1;
        SetEnabled(m_dirPath, true);
        SetEnabled(m_changeDirBtn, true);
        SetEnabled(m_openDirBtn, true);
        if (m_dirPath != nullptr)
            m_dirPath->SetText(App().customOutputFolder.get());
    } else if (name == L"changedirpathbtn") {
        PickCustomFolder();
    } else if (name == L"opendirpathbtn") {
        OpenIfExists(App().customOutputFolder.get());
    } else if (name == L"formatradio") {
        App().formatType = 0;
    } else if (name == L"editradio") {
        App().formatType = 1;
    } else if (name == L"singleconvertbtn") {
        StartSingleRecognition();
    } else if (name == L"singleconvertedbtn") {
        OpenIfExists(single_page::ResultPath());
    } else if (name == L"batchconvertbtn") {
        StartBatchList();
    } else if (name == L"screenconvertbtn") {
        StartScreenRecognition();
    } else if (name == L"screenconvertedbtn") {
        ScreenOCRWnd* screenPage = ScreenPage();
        OpenIfExists(screenPage != nullptr ? screenPage->ResultPath() : std::wstring());
    }
}

void CMainWnd::ShowMainMenu() {
    MainMenu()->ShowAt(ClientToScreen(kMainMenuPoint));
}

void CMainWnd::ShowUserCenter() {
    UserCenter()->ShowAt(ClientToScreen(kUserCenterPoint), UserInfo(CurrentUser()));
}

void CMainWnd::PickCustomFolder() {
    std::wstring folder;
    if (!PickFolder(GetHWND(), folder))
        return;
    if (!folder.empty() && folder.back() != L'/')
        folder += L'/';
    App().customOutputFolder.set(folder);
    if (IsFolder(folder)) {
        if (m_dirPath != nullptr)
            m_dirPath->SetText(folder);
        if (m_customDirRadio != nullptr)
            m_customDirRadio->Selected(true);
    }
}

void CMainWnd::OpenIfExists(const std::wstring& path) {
    if (Exists(path))
        platform::OpenWithDesktop(path);
}

void CMainWnd::StartSingleRecognition() {
    if (PassSignInGate(*this))
        single_page::StartRecognition();
}

void CMainWnd::StartScreenRecognition() {
    if (!PassSignInGate(*this))
        return;
    if (ScreenOCRWnd* screenPage = ScreenPage())
        screenPage->StartRecognition();
}

void CMainWnd::StartBatchList() {
    if (BatchOCRWnd* batchPage = BatchPage())
        batchPage->StartAll();
}

// --------------------------------------------------------------- accounts

void CMainWnd::ShowSignedIn(const std::wstring& displayName, int placement) {
    // The picture is fetched on this thread, as the display waits for it.
    HttpDownloadFile(CurrentUser().avatar, App().avatarPath);
    SetVisible(m_loginIcoBtn, false);
    SetVisible(m_loginBtn, false);
    if (m_userHead != nullptr) {
        m_userHead->SetAttribute(L"bkimage", App().avatarPath);
        m_userHead->SetVisible(true);
    }
    int width = 0;
    if (m_nickname != nullptr) {
        m_nickname->SetText(displayName);
        const QSize text = CRenderEngine::GetTextSize(
            &m_PaintManager, displayName, m_nickname->GetFont(), m_nickname->GetTextStyle());
        // The label's text padding is part of its width; a name longer than
        // the account area ends in an ellipsis instead of pushing the
        // picture over the converter button.
        const QMargins pad = m_nickname->GetTextPadding();
        width = std::min(text.width() + pad.left() + pad.right(), kNicknameMaxWidth);
        m_nickname->SetAttribute(L"width", std::to_wstring(width));
        m_nickname->SetVisible(true);
    }
    // The layer places floating controls in window coordinates whether or not
    // the first layout has run, so both placements use the same rectangle.
    (void)placement;
    if (m_userHeadBtn != nullptr) {
        m_userHeadBtn->SetPos(UserHeadButtonRect(width));
        m_userHeadBtn->SetVisible(true);
    }
}

void CMainWnd::ShowSignedOut() {
    SetVisible(m_userHead, false);
    SetVisible(m_userHeadBtn, false);
    if (m_nickname != nullptr) {
        m_nickname->SetText(L"");
        m_nickname->SetVisible(false);
    }
    SetVisible(m_loginIcoBtn, true);
    SetVisible(m_loginBtn, true);
}

void CMainWnd::CloseAccountWindow(AccountWindowKind kind) {
    account::CloseAccountWindow(kind);
}

void CMainWnd::OpenRegisterLoginWindow() {
    account::OpenRegisterLoginWindow(this);
}

void CMainWnd::OpenBindPhoneWindow() {
    account::OpenBindCellPhoneWindow(this);
}

void CMainWnd::ShowConverterFetching() {
    SetVisible(m_pdfConvertBtn, false);
    SetVisible(m_pdfConvertGif, true);
    ShowConverterHint(m_pdfConvertGif, ConverterHint::kInstalling);
}

void CMainWnd::OnConverterFetched() {
    SetVisible(m_pdfConvertBtn, true);
    SetVisible(m_pdfConvertGif, false);
    ShowConverterHint(m_pdfConvertBtn, FindInstalledConverter().empty()
                                           ? ConverterHint::kNotInstalled
                                           : ConverterHint::kInstalled);
}

}  // namespace kelsor::shell
