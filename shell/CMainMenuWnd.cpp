#include "shell/CMainMenuWnd.h"
#include <QKeySequence>
#include <QPointer>
#include <QShortcut>

#include <QWidget>
#include <filesystem>

#include "app/AppContext.h"
#include "app/Settings.h"
#include "app/TextConv.h"
#include "history/HistorySettings.h"
#include "platform/sys/Process.h"
#include "shell/CHistoryWnd.h"

namespace kelsor::shell {

void CMainMenuWnd::InitWindow() {
    // Esc closes the popup, as it closes any menu.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), GetHWND());
    QObject::connect(close, &QShortcut::activated, GetHWND(), [this] { ShowWindow(false); });
}

namespace {

bool IsFile(const std::wstring& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(WideToAnsi(path), ec);
}

}  // namespace

void CMainMenuWnd::ShowAt(const QPoint& screenPos) {
    if (GetHWND() == nullptr)
        return;
    GetHWND()->move(screenPos);
    if (auto* autoCopy = dynamic_cast<ui::COptionUI*>(m_PaintManager.FindControl(L"autocopyopt")))
        autoCopy->Selected(App().autoCopyScreenText.load() != 0, false);
    if (auto* codes = dynamic_cast<ui::COptionUI*>(m_PaintManager.FindControl(L"readcodesopt")))
        codes->Selected(App().readCodes.load() != 0, false);
    if (auto* keep = dynamic_cast<ui::COptionUI*>(m_PaintManager.FindControl(L"historyopt")))
        keep->Selected(history::IsRecordingOn(App().configPath), false);
    ShowWindow(true, true);
}

ui::LRESULT CMainMenuWnd::HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    if (msg == ui::WM_KILLFOCUS)
        ShowWindow(false);
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CMainMenuWnd::OnClick(ui::TNotifyUI& msg) {
    const ui::CDuiString name = msg.pSender != nullptr ? msg.pSender->GetName() : L"";
    if (name == L"checkupdatebtn") {
        if (IsFile(App().updaterPath))
            platform::StartProgram(App().updaterPath, {L"-KSOCRMAINMENU"});
    } else if (name == L"officialsitebtn") {
        platform::OpenWithDesktop(App().homePageUrl);
    } else if (name == L"aboutusbtn") {
        platform::OpenWithDesktop(App().aboutPageUrl);
    } else if (name == L"hotkeybtn" && m_hotKeyAction && GetHWND() != nullptr) {
        // Queued: its window runs modally, after this click has ended.
        QMetaObject::invokeMethod(GetHWND(), m_hotKeyAction, Qt::QueuedConnection);
    } else if (name == L"historybtn" && GetHWND() != nullptr) {
        // Queued as well, owned by the window that owns this menu.
        QPointer<QWidget> owner = GetHWND()->parentWidget();
        QMetaObject::invokeMethod(
            GetHWND(), [owner] { OpenHistoryWindow(owner.data()); }, Qt::QueuedConnection);
    }
    if (GetHWND() != nullptr)
        ShowWindow(false);
}

void CMainMenuWnd::OnSelectChanged(ui::TNotifyUI& msg) {
    if (msg.pSender != nullptr && msg.pSender->GetName() == L"autocopyopt") {
        auto* option = static_cast<ui::COptionUI*>(msg.pSender);
        SaveSettingsAutoCopy(App(), option->IsSelected());
    } else if (msg.pSender != nullptr && msg.pSender->GetName() == L"readcodesopt") {
        SaveSettingsReadCodes(App(), static_cast<ui::COptionUI*>(msg.pSender)->IsSelected());
    } else if (msg.pSender != nullptr && msg.pSender->GetName() == L"historyopt") {
        // Read by every recognition as it records, so it holds at once.
        history::SetRecordingOn(App().configPath,
                                static_cast<ui::COptionUI*>(msg.pSender)->IsSelected());
    }
}

}  // namespace kelsor::shell
