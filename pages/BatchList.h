#pragma once

#include <map>
#include <string>

#include "jobs/TaskStatus.h"
#include "pages/BatchListRow.h"
#include "platform/ui/UiLib.h"

namespace kelsor {
class BatchFileStore;
struct BatchFileItem;
class ConvertTaskMgr;
}  // namespace kelsor

// The batch list: the rows of the store's items in the list control, their
// serial numbers, and what the rows' buttons, the start-all button and the
// task events do to items and rows. Everything runs on the UI thread.
namespace kelsor::jobs {

class BatchList {
public:
    // Works on `store`, queueing through the process-wide task manager.
    explicit BatchList(BatchFileStore& store);

    // The list control and the window that owns the list's notices.
    void Attach(ui::CPaintManagerUI& pm, ui::CListUI* list, ui::HWND owner);
    // Queues through `tasks` from now on (it must outlive the list).
    // The manager the rows run on; each row's text joins the history once
    // its file is written.
    void SetTaskManager(ConvertTaskMgr& tasks);
    ConvertTaskMgr& Tasks() const { return *m_tasks; }
    BatchFileStore& Store() const { return m_store; }

    // Gives every item of the store without a row its row, at the end of the
    // list; then, with the store full, the limit notice.
    void AddRows();
    // Removes every row and starts the serial numbers at 1 again.
    void RemoveAllRows();

    // The buttons of a row, by the item's id.
    void StartOne(int id);
    void Remove(int id);
    void OpenPicture(int id);
    void OpenResult(int id);
    // The main window's batch start button.
    void StartAll();

    // A task event carried over from the runner's worker. Events come in the
    // order they were sent; one whose item or row is gone is dropped.
    void OnTaskEvent(const TaskStatus& status);

    // The item id of the row holding `control` (a control of a row's cell);
    // 0 when there is none.
    int IdOfRowControl(ui::CControlUI* control) const;

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    int NextSerial() const { return m_nextSerial; }
    // The row of the item with this id (built now if it was not yet), or
    // null.
    const BatchRowControls* Row(int id);
    // The display state of that row (NotRecognised when there is none).
    RowState StateOf(int id) const;

private:
    struct Entry {
        ui::CListContainerElementUI* element = nullptr;
        int serial = 0;
        RowState state = RowState::NotRecognised;
        int progress = 0;
        BatchRowControls controls;  // empty until the row is built
    };

    Entry* FindEntry(int id);
    // Gives the row its controls, showing its state, unless it has them.
    void Build(int id, Entry& entry);
    // Builds the rows in the list's view: after changes, once the layout has
    // settled, and whenever the list scrolls.
    void BuildRowsInView();
    void BuildRowsInViewSoon();
    void SetState(Entry& entry, RowState state);
    void SetProgress(Entry& entry, int value);
    void Queue(BatchFileItem& item, Entry& entry);
    void EraseRow(int id);
    void EmptyCheck();
    bool SignedIn() const;
    void Open(const std::wstring& path) const;

    BatchFileStore& m_store;
    ConvertTaskMgr* m_tasks;
    ui::CPaintManagerUI* m_pm = nullptr;
    ui::CListUI* m_list = nullptr;
    ui::HWND m_owner = nullptr;
    // The rows by the item's list element tag (its id). A row gets its
    // controls when it first comes into view (or is asked for), so adding a
    // hundred pictures builds the few rows on show only.
    std::map<int, Entry> m_rows;
    int m_nextSerial = 1;
};

// The main window's handle as the parent of a notice; `fallback` without one.
ui::HWND MainWindowHandle(ui::HWND fallback);

}  // namespace kelsor::jobs
