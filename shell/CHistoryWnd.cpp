#include "shell/CHistoryWnd.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <algorithm>
#include <ctime>
#include <filesystem>

#include "app/AppContext.h"
#include "app/TextConv.h"
#include "history/HistorySettings.h"
#include "notices/CommonDlg.h"
#include "platform/sys/Process.h"
#include "shell/HistoryWndText.h"

namespace kelsor::shell {

using namespace kelsor::ui;
namespace text = history_text;

namespace {

template <typename Control>
Control* Find(CPaintManagerUI& pm, const wchar_t* name) {
    return dynamic_cast<Control*>(pm.FindControl(name));
}

bool IsFile(const std::wstring& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(WideToAnsi(path), ec);
}

// The thumbnail letterboxed into the row's picture cell, so that a tall
// capture and a wide page both keep their shape.
QImage FitInto(const QImage& picture, const QSize& cell) {
    QImage out(cell, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(0xF0, 0xF2, 0xF5));
    if (picture.isNull() || cell.isEmpty())
        return out;
    const QImage scaled = picture.scaled(cell, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter p(&out);
    p.drawImage((cell.width() - scaled.width()) / 2, (cell.height() - scaled.height()) / 2, scaled);
    return out;
}

std::wstring SourceLine(const history::Entry& entry) {
    std::wstring line = entry.originalSource.empty() ? entry.summary.source : entry.originalSource;
    if (entry.summary.page > 0)
        line += L"  第 " + std::to_wstring(entry.summary.page) + L" 页";
    return line;
}

}  // namespace

CHistoryWnd::CHistoryWnd(std::wstring dataFolder, std::wstring configPath)
    : m_dataFolder(std::move(dataFolder)), m_configPath(std::move(configPath)) {}

CHistoryWnd::~CHistoryWnd() = default;

void CHistoryWnd::InitWindow() {
    CPaintManagerUI& pm = m_PaintManager;
    m_list = Find<CListUI>(pm, L"historylist");
    m_search = Find<CEditUI>(pm, L"historysearch");
    m_count = Find<CLabelUI>(pm, L"historycount");
    m_empty = Find<CLabelUI>(pm, L"historyempty");
    m_moreBtn = Find<CButtonUI>(pm, L"historymorebtn");
    m_meta = Find<CLabelUI>(pm, L"historymeta");
    m_source = Find<CLabelUI>(pm, L"historysource");
    m_text = Find<CRichEditUI>(pm, L"historytext");
    m_tip = Find<CLabelUI>(pm, L"historytip");

    m_store = std::make_unique<history::HistoryStore>(m_dataFolder);
    if (m_search != nullptr) {
        // The editor is made now: the field has the focus from the start, and
        // each change of its words runs the search again.
        QLineEdit* editor = m_search->Editor();
        editor->setPlaceholderText(QString::fromWCharArray(text::kSearchPrompt));
        QObject::connect(editor, &QLineEdit::textChanged, editor, [this](const QString& words) {
            m_words = words.toStdWString();
            Refill();
        });
        editor->setFocus(Qt::OtherFocusReason);
    }
    if (m_text != nullptr)
        m_text->Editor()->setPlaceholderText(QString::fromWCharArray(text::kChoosePrompt));
    ShowNotice();
    Refill();
}

void CHistoryWnd::ShowNotice() {
    std::wstring notice;
    if (!m_store->IsOpen()) {
        notice = text::UnavailableNotice();
    } else if (!history::IsRecordingOn(m_configPath)) {
        notice = text::RecordingOffNotice();
    } else if (!history::WasNoticeShown(m_configPath)) {
        // Said once, the first time the window opens.
        notice = text::KeptNotice();
        history::SetNoticeShown(m_configPath);
    }
    if (auto* label = Find<CLabelUI>(m_PaintManager, L"historynoticetext"))
        label->SetText(notice);
    if (auto* bar = Find<CControlUI>(m_PaintManager, L"historynotice"))
        bar->SetVisible(!notice.empty());
}

std::vector<std::int64_t> CHistoryWnd::ShownIds() const {
    std::vector<std::int64_t> ids;
    for (const Row& row : m_rows)
        ids.push_back(row.summary.id);
    return ids;
}

void CHistoryWnd::Search(const std::wstring& words) {
    if (m_search != nullptr)
        m_search->SetText(words);  // the editor's change runs the search
    if (m_words != words) {
        m_words = words;
        Refill();
    }
}

void CHistoryWnd::Refill() {
    const std::int64_t chosen = ChosenId();
    ClearRows();
    LoadRows(kPageRows);
    // The chosen entry stays chosen while the words still find it.
    const auto it = std::find_if(m_rows.begin(), m_rows.end(),
                                 [&](const Row& row) { return row.summary.id == chosen; });
    if (it != m_rows.end()) {
        ChooseRow(static_cast<std::size_t>(it - m_rows.begin()));
    } else {
        m_chosen.reset();
        ShowChosen();
    }
}

void CHistoryWnd::LoadRows(std::size_t want) {
    std::vector<history::EntrySummary> found;
    if (m_store->IsOpen())
        found = m_store->Search(m_words, want + 1);  // one more tells whether there are more
    m_more = found.size() > want;
    if (m_more)
        found.resize(want);
    for (std::size_t i = m_rows.size(); i < found.size(); ++i)
        AddRow(found[i]);
    ShowCount();
}

void CHistoryWnd::AddRow(const history::EntrySummary& summary) {
    if (m_list == nullptr)
        return;
    CDialogBuilder builder;
    auto* element = dynamic_cast<CListContainerElementUI*>(
        builder.Create(L"historyitem.xml", L"", nullptr, &m_PaintManager, m_list));
    if (element == nullptr)
        return;
    Row row;
    row.summary = summary;
    row.element = element;
    element->SetTag(static_cast<std::uintptr_t>(m_rows.size()));
    const auto sub = [&](const wchar_t* name) {
        return dynamic_cast<CLabelUI*>(m_PaintManager.FindSubControlByName(element, name));
    };
    if (CLabelUI* time = sub(L"hist_time"))
        time->SetText(text::EntryTime(summary.time, static_cast<std::int64_t>(std::time(nullptr))));
    if (CLabelUI* road = sub(L"hist_road"))
        road->SetText(history::RoadName(summary.road));
    if (CLabelUI* line = sub(L"hist_line")) {
        line->SetText(summary.firstLine);
        line->SetToolTip(summary.firstLine);
    }
    if (CControlUI* thumb = m_PaintManager.FindSubControlByName(element, L"hist_thumb")) {
        const QImage picture = ThumbnailFor(summary.id);
        if (!picture.isNull()) {
            row.thumbName = QStringLiteral("history/thumb-%1").arg(summary.id);
            const QSize cell(thumb->GetFixedWidth(), thumb->GetFixedHeight());
            m_PaintManager.AddImage(row.thumbName, FitInto(picture, cell));
            thumb->SetBkImage(QStringLiteral("file='%1'").arg(row.thumbName));
        }
    }
    m_rows.push_back(std::move(row));
}

QImage CHistoryWnd::ThumbnailFor(std::int64_t id) {
    const std::vector<std::uint8_t> bytes = m_store->Thumbnail(id);
    QImage picture;
    if (!bytes.empty())
        picture.loadFromData(bytes.data(), static_cast<int>(bytes.size()));
    return picture;
}

void CHistoryWnd::ClearRows() {
    if (m_list != nullptr)
        m_list->RemoveAll();
    for (const Row& row : m_rows) {
        if (!row.thumbName.isEmpty())
            m_PaintManager.RemoveImage(row.thumbName);
    }
    m_rows.clear();
}

void CHistoryWnd::ShowCount() {
    const bool searching = !m_words.empty();
    if (m_count != nullptr)
        m_count->SetText(m_store->IsOpen() ? text::CountLine(m_rows.size(), m_more, searching)
                                           : L"");
    if (m_empty != nullptr) {
        m_empty->SetText(text::EmptyText(searching));
        m_empty->SetVisible(m_rows.empty() && m_store->IsOpen());
    }
    if (m_moreBtn != nullptr)
        m_moreBtn->SetVisible(m_more);
    if (auto* clear = Find<CButtonUI>(m_PaintManager, L"historyclearbtn"))
        clear->SetEnabled(m_store->IsOpen() && (!m_rows.empty() || searching));
}

bool CHistoryWnd::Choose(std::int64_t id) {
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].summary.id == id) {
            ChooseRow(i);
            return true;
        }
    }
    return false;
}

void CHistoryWnd::ChooseRow(std::size_t index) {
    if (index >= m_rows.size())
        return;
    const Row& row = m_rows[index];
    if (m_list != nullptr)
        m_list->SelectRow(row.element);
    m_chosen = m_store->Load(row.summary.id);
    ShowChosen();
}

void CHistoryWnd::ShowChosen() {
    const bool chosen = m_chosen.has_value();
    if (m_meta != nullptr)
        m_meta->SetText(chosen ? text::FullTime(m_chosen->summary.time) + L"  ·  " +
                                     history::RoadName(m_chosen->summary.road)
                               : L"");
    if (m_source != nullptr) {
        const std::wstring source = chosen ? SourceLine(*m_chosen) : L"";
        m_source->SetText(source);
        m_source->SetToolTip(source);
    }
    if (m_text != nullptr)
        m_text->SetText(chosen ? m_chosen->text : L"");
    const auto enable = [&](const wchar_t* name, bool on) {
        if (auto* button = Find<CButtonUI>(m_PaintManager, name))
            button->SetEnabled(on);
    };
    enable(L"historycopybtn", chosen);
    enable(L"historyopenfilebtn", chosen && !m_chosen->summary.textPath.empty());
    enable(L"historyopenpicbtn", chosen && !m_chosen->summary.source.empty());
    enable(L"historydeletebtn", chosen);
    SetTip(L"");
}

void CHistoryWnd::MoveChoice(int step) {
    if (m_rows.empty())
        return;
    std::size_t index = 0;
    if (m_chosen) {
        const auto it = std::find_if(m_rows.begin(), m_rows.end(), [&](const Row& row) {
            return row.summary.id == m_chosen->summary.id;
        });
        const auto at = static_cast<long>(it - m_rows.begin());
        const long next = std::clamp<long>(at + step, 0, static_cast<long>(m_rows.size()) - 1);
        index = static_cast<std::size_t>(next);
    }
    ChooseRow(index);
}

void CHistoryWnd::SetTip(const std::wstring& tip) {
    if (m_tip != nullptr)
        m_tip->SetText(tip);
}

void CHistoryWnd::Copy() {
    if (!m_chosen)
        return;
    QGuiApplication::clipboard()->setText(QString::fromStdWString(m_chosen->text));
    SetTip(text::kCopied);
}

void CHistoryWnd::OpenTextFile() {
    if (!m_chosen || m_chosen->summary.textPath.empty())
        return;
    if (IsFile(m_chosen->summary.textPath))
        platform::OpenWithDesktop(m_chosen->summary.textPath);
    else
        notices::CommonDlg::ShowInfo(GetHWND(), L"", text::MissingTextFile());
}

void CHistoryWnd::OpenPicture() {
    if (!m_chosen)
        return;
    // The kept copy of a capture first: the work file has been overwritten.
    for (const std::wstring& path :
         {m_chosen->keptCopy, m_chosen->summary.source, m_chosen->originalSource}) {
        if (IsFile(path)) {
            platform::OpenWithDesktop(path);
            return;
        }
    }
    notices::CommonDlg::ShowInfo(GetHWND(), L"", text::MissingPicture());
}

void CHistoryWnd::DeleteChosen() {
    if (!m_chosen)
        return;
    const std::int64_t id = m_chosen->summary.id;
    const auto it = std::find_if(m_rows.begin(), m_rows.end(),
                                 [&](const Row& row) { return row.summary.id == id; });
    const std::size_t at = static_cast<std::size_t>(it - m_rows.begin());
    m_store->Delete(id);
    m_chosen.reset();
    const std::size_t shown = std::max(m_rows.size(), kPageRows);
    ClearRows();
    LoadRows(shown);
    // The entry below takes the deleted one's place, as in a file list.
    if (!m_rows.empty())
        ChooseRow(std::min(at, m_rows.size() - 1));
    else
        ShowChosen();
}

void CHistoryWnd::ClearAll() {
    const int answer = notices::CommonDlg::ShowYesNo(GetHWND(), L"", text::ClearQuestion(),
                                                     text::kClearCancel, text::kClearConfirm);
    if (answer != 0 || GetHWND() == nullptr)
        return;
    m_store->Clear();
    m_chosen.reset();
    if (m_search != nullptr && !m_words.empty())
        m_search->SetText(L"");  // nothing is left to find
    m_words.clear();
    Refill();
}

void CHistoryWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == L"itemclick" && msg.pSender != nullptr) {
        const auto index = static_cast<std::size_t>(msg.pSender->GetTag());
        if (index < m_rows.size() && m_rows[index].element == msg.pSender)
            ChooseRow(index);
        return;
    }
    WindowImplBase::Notify(msg);
}

void CHistoryWnd::OnClick(TNotifyUI& msg) {
    const CDuiString name = msg.pSender != nullptr ? msg.pSender->GetName() : L"";
    if (name == L"historyclosebtn")
        Close(0);
    else if (name == L"historynoticebtn")
        msg.pSender->GetParent()->SetVisible(false);
    else if (name == L"historymorebtn")
        LoadRows(m_rows.size() + kPageRows);
    else if (name == L"historycopybtn")
        Copy();
    else if (name == L"historyopenfilebtn")
        OpenTextFile();
    else if (name == L"historyopenpicbtn")
        OpenPicture();
    else if (name == L"historydeletebtn")
        DeleteChosen();
    else if (name == L"historyclearbtn")
        ClearAll();
}

bool CHistoryWnd::HostEvent(QEvent* event) {
    if (event->type() == QEvent::Show && GetHWND() != nullptr && GetHWND()->isWindow())
        GetHWND()->activateWindow();
    if (event->type() != QEvent::KeyPress)
        return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_chosen)
                Copy();
            else
                MoveChoice(0);
            return true;
        case Qt::Key_Escape:
            Close(0);
            return true;
        case Qt::Key_Down:
            MoveChoice(1);
            return true;
        case Qt::Key_Up:
            MoveChoice(-1);
            return true;
        default:
            return false;
    }
}

void OpenHistoryWindow(HWND owner) {
    CHistoryWnd wnd(App().dataFolder, App().configPath);
    // The title the desktop shows for it (task switchers, window lists).
    wnd.Create(owner, L"KelsorOCR历史记录", UI_WNDSTYLE_DIALOG,
               WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW);
    wnd.CenterWindow();
    wnd.ShowModal();
}

}  // namespace kelsor::shell
