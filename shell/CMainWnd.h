#pragma once

#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "account/AccountWindowPort.h"
#include "platform/ui/UiLib.h"
#include "shell/GlobalHotKey.h"

// The main window: title bar with the page tabs, the converter button and
// the account area; the three pages as child windows; the output options;
// the start and open-result buttons; the capture hot key (Ctrl+2 unless
// the user chose another; on Wayland the desktop's own shortcuts); the
// panel icon; dropped files; and
// the routing of the account windows. Other windows and worker threads talk
// to it through the messages 2125-2154 and the process-wide main window
// reference, which it sets while it exists.
namespace kelsor::jobs {
class BatchOCRWnd;
class ScreenOCRWnd;
}  // namespace kelsor::jobs

namespace kelsor::shell {

class CMainMenuWnd;
class CUserCenterInfoWnd;
class DesktopShortcut;
class TrayIcon;

class CMainWnd : public ui::WindowImplBase, public AccountWindowPort {
public:
    CMainWnd();
    ~CMainWnd() override;

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    // The account seam: the signed-in and signed-out displays and the
    // account windows.
    void ShowSignedIn(const std::wstring& displayName, int placement) override;
    void ShowSignedOut() override;
    using CWindowWnd::PostMessage;
    using CWindowWnd::SendMessage;
    void SendMessage(WindowMessage message) override;
    void PostMessage(WindowMessage message) override;
    void CloseAccountWindow(AccountWindowKind kind) override;

    // The converter button's fetch animation in place of the button (shown
    // while the converter is fetched; message 2154 brings the button back).
    void ShowConverterFetching();

    // Takes dropped paths (in drop order) as the current page wants them.
    void DropFiles(const std::vector<std::wstring>& paths);

    int CurrentPage() const { return m_page; }
    // The popups, made hidden on first use: most runs never open them.
    CMainMenuWnd* MainMenu();
    CUserCenterInfoWnd* UserCenter();
    // A page by its index (0 single, 1 batch, 2 screen). The batch and screen
    // pages are built, hidden and in place, the first time they are asked
    // for: many runs only ever use the single page.
    ui::CWindowWnd* Page(int index);
    jobs::BatchOCRWnd* BatchPage();
    jobs::ScreenOCRWnd* ScreenPage();
    bool HotKeyRegistered() const { return m_hotKey.IsRegistered(); }
    // The capture key of the settings file, or the one chosen since.
    const HotKey& HotKeyInUse() const { return m_hotKeyInUse; }
    // The main menu's 设置快捷键: the capture key window, modal.
    void OpenHotKeyWindow();
    // The panel icon (absent before the window is initialised).
    TrayIcon* Tray() const { return m_tray.get(); }
    // The desktop's own binding of the capture key; null outside Wayland.
    DesktopShortcut* DesktopKey() const { return m_desktopShortcut.get(); }

protected:
    ui::CDuiString GetWindowClassName() const override { return L"Main"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return m_skinFile; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    void OnSelectChanged(ui::TNotifyUI& msg) override;
    ui::LRESULT OnSysCommand(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam,
                             bool& handled) override;
    void OnFinalMessage(ui::HWND hwnd) override;
    bool HostEvent(QEvent* event) override;

private:
    struct StartRow {
        ui::CButtonUI* start = nullptr;
        ui::CControlUI* running = nullptr;
        ui::CButtonUI* done = nullptr;
    };

    void FindControls();
    ui::CWindowWnd* CreatePage(int index);
    void StartSiblingPrograms();
    void RegisterHotKey();
    void ShowPage(int index);
    void ShowStartRow(const StartRow& row, int state);
    void BringToFront();
    void QuitFromTray();
    void OnMouseWheel(ui::WPARAM wParam, ui::LPARAM lParam);
    void OnScreenCaptureHotKey();
    void OnConverterFetched();
    void ShowMainMenu();
    void ShowUserCenter();
    void PickCustomFolder();
    void OpenIfExists(const std::wstring& path);
    void StartSingleRecognition();
    void StartScreenRecognition();
    void StartBatchList();
    // Each runs the account window modally (nothing while the account
    // windows are not built in).
    void OpenRegisterLoginWindow();
    void OpenBindPhoneWindow();

    std::wstring m_skinFile = L"mainwnd.xml";
    ui::CTabLayoutUI* m_ocrTab = nullptr;
    ui::CTabLayoutUI* m_convertTab = nullptr;
    int m_page = 0;
    ui::COptionUI* m_singleOpt = nullptr;
    ui::COptionUI* m_batchOpt = nullptr;
    ui::COptionUI* m_screenOpt = nullptr;
    ui::CButtonUI* m_pdfConvertBtn = nullptr;
    ui::CGifAnimUI* m_pdfConvertGif = nullptr;
    ui::CButtonUI* m_loginIcoBtn = nullptr;
    ui::CButtonUI* m_loginBtn = nullptr;
    ui::CControlUI* m_userHead = nullptr;
    ui::CButtonUI* m_userHeadBtn = nullptr;
    ui::CButtonUI* m_nickname = nullptr;
    ui::COptionUI* m_sourceDirRadio = nullptr;
    ui::COptionUI* m_customDirRadio = nullptr;
    ui::CEditUI* m_dirPath = nullptr;
    ui::CButtonUI* m_changeDirBtn = nullptr;
    ui::CButtonUI* m_openDirBtn = nullptr;
    ui::COptionUI* m_formatRadio = nullptr;
    ui::COptionUI* m_editRadio = nullptr;
    StartRow m_singleRow;
    ui::CButtonUI* m_batchConvertBtn = nullptr;
    StartRow m_screenRow;
    ui::CButtonUI* m_menuBtn = nullptr;
    ui::CButtonUI* m_miniBtn = nullptr;
    ui::CButtonUI* m_closeBtn = nullptr;
    CMainMenuWnd* m_menu = nullptr;
    CUserCenterInfoWnd* m_userCenter = nullptr;
    ui::CWindowWnd* m_pages[3] = {nullptr, nullptr, nullptr};
    GlobalHotKey m_hotKey;
    std::unique_ptr<DesktopShortcut> m_desktopShortcut;
    std::unique_ptr<TrayIcon> m_tray;
    HotKey m_hotKeyInUse;
    bool m_choosingHotKey = false;
    // Set once the window is going away: messages that arrive while its
    // children are torn down find no controls to change.
    bool m_closing = false;
};

}  // namespace kelsor::shell
