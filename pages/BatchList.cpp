#include "pages/BatchList.h"

#include <sys/stat.h>

#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "account/UserInfo.h"
#include "app/TextConv.h"
#include "history/HistoryRecorder.h"
#include "jobs/BatchFileItem.h"
#include "jobs/ConvertTaskMgr.h"
#include "notices/CommonDlg.h"
#include "pages/PageControls.h"
#include "platform/sys/Messages.h"
#include "platform/sys/Process.h"
#include "platform/ui/MainWindowRef.h"

namespace kelsor::jobs {
namespace {

using notices::CommonDlg;
namespace notice = notices::notice;

bool Exists(const std::wstring& path) {
    struct stat info {};
    return !path.empty() && ::stat(WideToAnsi(path).c_str(), &info) == 0;
}

bool Startable(int state) {
    return state == TaskNone || state == Failed;
}

}  // namespace

ui::HWND MainWindowHandle(ui::HWND fallback) {
    ui::CWindowWnd* main = ui::GetMainWindow();
    return main != nullptr ? main->GetHWND() : fallback;
}

BatchList::BatchList(BatchFileStore& store) : m_store(store), m_tasks(nullptr) {
    SetTaskManager(ProcessTaskManager());
}

void BatchList::SetTaskManager(ConvertTaskMgr& tasks) {
    m_tasks = &tasks;
    // The thumbnail comes from the JPEG work file, quicker to read small.
    tasks.SetOnTextWritten([recorder = std::make_shared<history::Recorder>()](
                               const std::wstring& picture, const std::wstring& workPicture,
                               const std::wstring& textPath, const std::string& text) {
        history::NewEntry entry;
        entry.road = history::Road::Batch;
        entry.source = picture;
        entry.picture = workPicture;
        entry.textPath = textPath;
        entry.text = AnsiToWide(text);
        recorder->Record(entry);
    });
}

void BatchList::Attach(ui::CPaintManagerUI& pm, ui::CListUI* list, ui::HWND owner) {
    m_pm = &pm;
    m_list = list;
    m_owner = owner;
    m_nextSerial = 1;
    if (auto* scroll = list != nullptr ? list->findChild<QScrollArea*>() : nullptr) {
        QObject::connect(scroll->verticalScrollBar(), &QScrollBar::valueChanged, list,
                         [this] { BuildRowsInView(); });
    }
}

void BatchList::AddRows() {
    if (m_list == nullptr) {
        return;
    }
    for (const auto& [id, item] : m_store.All()) {
        if (item->shown) {
            continue;
        }
        Entry entry;
        entry.element = MakeBatchRow();
        entry.element->SetTag(static_cast<std::uintptr_t>(id));
        entry.serial = m_nextSerial++;
        m_list->AddAt(entry.element, m_list->GetCount());
        item->shown = true;
        item->listElementTag = id;
        m_rows[id] = entry;
    }
    BuildRowsInViewSoon();
    if (m_store.Size() >= BatchFileStore::kCapacity) {
        CommonDlg::ShowNotice(MainWindowHandle(m_owner), notice::kListFull);
    }
}

void BatchList::Build(int id, Entry& entry) {
    const BatchFileItem* item = m_store.Find(id);
    if (entry.controls.row != nullptr || item == nullptr) {
        return;
    }
    entry.controls = FillBatchRow(entry.element, *item, entry.serial);
    ShowRowState(entry.controls, entry.state);
    entry.controls.progress->SetValue(entry.progress);
}

void BatchList::BuildRowsInView() {
    auto* scroll = m_list != nullptr ? m_list->findChild<QScrollArea*>() : nullptr;
    if (scroll == nullptr || !m_list->IsVisible()) {
        return;
    }
    const int top = scroll->verticalScrollBar()->value();
    const int bottom = top + std::max(scroll->viewport()->height(), m_list->height());
    for (int i = 0; i < m_list->GetCount(); ++i) {
        ui::CControlUI* element = m_list->GetItemAt(i);
        const QRect place = element->geometry();
        if (place.bottom() < top || place.top() > bottom) {
            continue;
        }
        const int id = static_cast<int>(element->GetTag());
        if (Entry* entry = FindEntry(id)) {
            Build(id, *entry);
        }
    }
}

void BatchList::BuildRowsInViewSoon() {
    // After the event loop has laid the list out; a list that is gone by
    // then takes the call with it.
    if (m_list != nullptr) {
        QTimer::singleShot(0, m_list, [this] { BuildRowsInView(); });
    }
}

void BatchList::RemoveAllRows() {
    if (m_list != nullptr) {
        m_list->RemoveAll();
    }
    m_rows.clear();
    m_nextSerial = 1;
}

BatchList::Entry* BatchList::FindEntry(int id) {
    const auto it = m_rows.find(id);
    return it == m_rows.end() ? nullptr : &it->second;
}

const BatchRowControls* BatchList::Row(int id) {
    Entry* entry = FindEntry(id);
    if (entry == nullptr) {
        return nullptr;
    }
    Build(id, *entry);
    return entry->controls.row != nullptr ? &entry->controls : nullptr;
}

RowState BatchList::StateOf(int id) const {
    const auto it = m_rows.find(id);
    return it == m_rows.end() ? RowState::NotRecognised : it->second.state;
}

int BatchList::IdOfRowControl(ui::CControlUI* control) const {
    // The control sits in a cell, and the cell in the row.
    ui::CControlUI* cell = control != nullptr ? control->GetParent() : nullptr;
    ui::CControlUI* row = cell != nullptr ? cell->GetParent() : nullptr;
    ui::CControlUI* fileId =
        row != nullptr && m_pm != nullptr ? m_pm->FindSubControlByName(row, L"file_id") : nullptr;
    if (fileId == nullptr) {
        return 0;
    }
    try {
        return std::stoi(fileId->GetText());
    } catch (const std::exception&) {
        return 0;
    }
}

void BatchList::SetState(Entry& entry, RowState state) {
    entry.state = state;
    if (entry.controls.row != nullptr) {
        ShowRowState(entry.controls, state);
    }
}

void BatchList::SetProgress(Entry& entry, int value) {
    entry.progress = value;
    if (entry.controls.progress != nullptr) {
        entry.controls.progress->SetValue(value);
    }
}

bool BatchList::SignedIn() const {
    if (CurrentUser().loggedIn) {
        return true;
    }
    SendPageMessage(WM_KSOCR_OPENLOGIN);
    return false;
}

void BatchList::Queue(BatchFileItem& item, Entry& entry) {
    item.taskKey = m_tasks->AddTask(item);
    SetState(entry, RowState::Waiting);
}

void BatchList::StartOne(int id) {
    BatchFileItem* item = m_store.Find(id);
    Entry* entry = FindEntry(id);
    if (item == nullptr || entry == nullptr || !Startable(item->state) || !SignedIn()) {
        return;
    }
    Queue(*item, *entry);
}

void BatchList::StartAll() {
    if (m_store.Empty()) {
        return;
    }
    bool allDone = true;
    bool anyStartable = false;
    for (const auto& [id, item] : m_store.All()) {
        allDone = allDone && item->state == Succeeded;
        anyStartable = anyStartable || Startable(item->state);
    }
    if (allDone) {
        CommonDlg::ShowNotice(m_owner, notice::kListFinished);
        return;
    }
    if (!anyStartable || !SignedIn()) {
        return;
    }
    for (const auto& [id, item] : m_store.All()) {
        Entry* entry = FindEntry(item->listElementTag);
        if (entry != nullptr && Startable(item->state)) {
            Queue(*item, *entry);
        }
    }
}

void BatchList::Remove(int id) {
    BatchFileItem* item = m_store.Find(id);
    if (item == nullptr) {
        return;
    }
    switch (item->state.load()) {
        case Queued:
            // Once CancelTask returns the task has let go of the item.
            m_tasks->CancelTask(item->taskKey);
            EraseRow(id);
            break;
        case TaskNone:
        case Succeeded:
        case Failed:
            // A failed item's task ended with its final event, so nothing
            // refers to it any more either.
            EraseRow(id);
            break;
        default:
            break;  // a running item keeps its row
    }
    EmptyCheck();
}

void BatchList::EraseRow(int id) {
    if (Entry* entry = FindEntry(id); entry != nullptr && m_list != nullptr) {
        m_list->Remove(entry->element);
    }
    m_rows.erase(id);
    m_store.Erase(id);
    // Rows below move up into view.
    BuildRowsInViewSoon();
}

void BatchList::EmptyCheck() {
    if (m_list == nullptr || m_list->GetCount() > 0) {
        return;
    }
    m_nextSerial = 1;
    SetControlVisible(*m_pm, L"batchselectpicbtn", true);
    m_list->SetVisible(false);
    SendPageMessage(WM_KSOCR_BATCH_DISABLESTART);
}

void BatchList::Open(const std::wstring& path) const {
    // The desktop opener starts whatever it is given and reports nothing
    // back, so a file that is gone is caught here.
    if (!Exists(path) || !platform::OpenWithDesktop(path)) {
        CommonDlg::ShowNotice(m_owner, notice::kOpenFailed);
    }
}

void BatchList::OpenPicture(int id) {
    if (const BatchFileItem* item = m_store.Find(id)) {
        Open(item->sourcePath);
    }
}

void BatchList::OpenResult(int id) {
    if (const BatchFileItem* item = m_store.Find(id)) {
        Open(item->outputPath);
    }
}

void BatchList::OnTaskEvent(const TaskStatus& status) {
    BatchFileItem* item = m_store.Find(status.id);
    Entry* entry = item != nullptr ? FindEntry(item->listElementTag) : nullptr;
    if (entry == nullptr) {
        return;
    }
    switch (status.state) {
        case Running:
            // Whatever happened to earlier tasks, a running row shows its bar.
            if (entry->state != RowState::Running) {
                SetState(*entry, RowState::Running);
            }
            SetProgress(*entry, status.progress);
            break;
        case Succeeded:
            SetState(*entry, RowState::Done);
            SetProgress(*entry, 100);
            item->state = Succeeded;
            break;
        case Failed:
            SetState(*entry, RowState::Failed);
            SetProgress(*entry, 0);
            item->state = Failed;
            break;
        default:
            break;
    }
}

}  // namespace kelsor::jobs
