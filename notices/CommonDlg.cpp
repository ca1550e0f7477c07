#include "notices/CommonDlg.h"

#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <atomic>

namespace kelsor::notices {

using namespace kelsor::ui;

namespace {

// Written by the dialog's buttons on the UI thread, read by the show
// operations on the raising thread after the modal run.
std::atomic<int> g_result{0};

// Runs `show` on the UI thread and waits for it when called from a worker.
int OnUiThread(const std::function<int()>& show) {
    if (QThread::currentThread() == qApp->thread())
        return show();
    int result = 0;
    QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection, &result);
    return result;
}

}  // namespace

CommonDlg::CommonDlg(HWND parent) : m_parent(parent) {}

int CommonDlg::Result() {
    return g_result.load();
}

void CommonDlg::SetResult(int result) {
    g_result.store(result);
}

QPoint CommonDlg::CentredPosition(const QRect& parentClient, const QSize& dialog) {
    // Integer division as the rule is written: a larger dialog moves up/left.
    return QPoint(parentClient.left() + (parentClient.width() - dialog.width()) / 2,
                  parentClient.top() + (parentClient.height() - dialog.height()) / 2);
}

void CommonDlg::InitWindow() {
    m_tab = dynamic_cast<CTabLayoutUI*>(m_PaintManager.FindControl(L"commondlgTabModule"));
    m_title = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"msgtitle"));
    m_text = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"msgtext"));
    m_ynTitle = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"msgyntitle"));
    m_ynText = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"msgyntext"));
    m_ynCancel = dynamic_cast<CButtonUI*>(m_PaintManager.FindControl(L"msgyncancelbtn"));
    m_ynConfirm = dynamic_cast<CButtonUI*>(m_PaintManager.FindControl(L"msgynconfirmbtn"));
}

void CommonDlg::OnClick(TNotifyUI& msg) {
    if (msg.pSender == nullptr)
        return;
    const CDuiString name = msg.pSender->GetName();
    if (name == L"msgconfirmbtn" || name == L"msgynconfirmbtn") {
        SetResult(0);
        Close(1);
    } else if (name == L"msgyncancelbtn") {
        SetResult(1);
        Close(1);
    }
}

bool CommonDlg::HostEvent(QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const bool question = m_tab != nullptr && m_tab->GetCurSel() == 1;
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return ClickControl(question ? L"msgynconfirmbtn" : L"msgconfirmbtn");
        case Qt::Key_Escape:
            // Never a confirmation: a question is cancelled; a notice is
            // closed as the system would close it, the result left as it was.
            if (question) {
                return ClickControl(L"msgyncancelbtn");
            }
            Close(0);
            return true;
        default:
            return false;
    }
}

void CommonDlg::CentreOverParent() {
    HWND self = GetHWND();
    if (self == nullptr)
        return;
    if (m_parent == nullptr) {
        CenterWindow();
        return;
    }
    const QRect client(m_parent->mapToGlobal(QPoint(0, 0)), m_parent->size());
    self->move(CentredPosition(client, self->size()));
}

void CommonDlg::ShowInformation(const std::wstring& title, const std::wstring& text) {
    if (m_title != nullptr && !title.empty())
        m_title->SetText(title);
    if (m_text != nullptr)
        m_text->SetText(text);
    if (m_tab != nullptr)
        m_tab->SelectItem(0);
    CentreOverParent();
    ShowModal();
}

void CommonDlg::ShowQuestion(const std::wstring& title, const std::wstring& text,
                             const std::wstring& cancelText, const std::wstring& confirmText) {
    if (m_ynTitle != nullptr && !title.empty())
        m_ynTitle->SetText(title);
    if (m_ynText != nullptr)
        m_ynText->SetText(text);
    if (m_ynCancel != nullptr)
        m_ynCancel->SetText(cancelText);
    if (m_ynConfirm != nullptr)
        m_ynConfirm->SetText(confirmText);
    if (m_tab != nullptr)
        m_tab->SelectItem(1);
    CentreOverParent();
    ShowModal();
}

int CommonDlg::ShowInfo(HWND parent, const std::wstring& title, const std::wstring& text) {
    return OnUiThread([=] {
        CommonDlg dlg(parent);
        // No task-bar button: a tool window owned by the parent.
        dlg.Create(parent, L"CommonDlg", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW);
        dlg.ShowInformation(title, text);
        return Result();
    });
}

int CommonDlg::ShowYesNo(HWND parent, const std::wstring& title, const std::wstring& text,
                         const std::wstring& cancelText, const std::wstring& confirmText) {
    return OnUiThread([=] {
        CommonDlg dlg(parent);
        dlg.Create(parent, L"CommonDlg", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW);
        dlg.ShowQuestion(title, text, cancelText, confirmText);
        return Result();
    });
}

int CommonDlg::ShowNotice(HWND parent, const std::wstring& text) {
    return ShowInfo(parent, L"", text);
}

std::wstring notice::HotKeyTakenText(const std::wstring& keyName) {
    return keyName + L" 被占用！";
}

namespace {

// The dialog's text holds three lines: long names keep their start and end.
std::wstring ShortName(const std::wstring& name) {
    constexpr std::size_t kLongest = 16;
    if (name.size() <= kLongest) {
        return name;
    }
    return name.substr(0, 7) + L"…" + name.substr(name.size() - 8);
}

}  // namespace

std::wstring notice::RefusedFilesText(const std::vector<RefusedFile>& refused) {
    if (refused.empty()) {
        return {};
    }
    if (refused.size() == 1) {
        return refused.front().unsupported ? kUnsupportedFormat : kDamagedFile;
    }
    const auto unsupported = static_cast<std::size_t>(std::count_if(
        refused.begin(), refused.end(), [](const RefusedFile& f) { return f.unsupported; }));
    const std::wstring count = std::to_wstring(refused.size());
    std::wstring text;
    if (unsupported == refused.size()) {
        text = L"很抱歉，有" + count + L"个文件的格式不支持，未能添加：";
    } else if (unsupported == 0) {
        text = L"很抱歉，有" + count + L"个文件已损坏，未能添加：";
    } else {
        text = L"很抱歉，有" + count + L"个文件未能添加（" + std::to_wstring(unsupported) +
               L"个格式不支持，" + std::to_wstring(refused.size() - unsupported) + L"个已损坏）：";
    }
    constexpr std::size_t kNamed = 3;
    for (std::size_t i = 0; i < refused.size() && i < kNamed; ++i) {
        text += (i > 0 ? L"、" : L"") + ShortName(refused[i].name);
    }
    return refused.size() > kNamed ? text + L" 等" : text;
}

}  // namespace kelsor::notices
