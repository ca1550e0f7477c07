#pragma once

#include <memory>
#include <string>
#include <vector>

#include "pages/BatchList.h"
#include "pages/CListUIExNotify.h"
#include "platform/ui/UiLib.h"

namespace kelsor {
class ConvertTaskMgr;
struct TaskStatus;
}  // namespace kelsor

// The batch page: up to 100 pictures from the file picker, a folder or a
// drop, listed as rows that the task runner recognises one after another.
// The main window's batch start button starts the whole list.
//
// Create it with new: it deletes itself when its window is destroyed (with
// the main window); deleting it directly destroys its window too.
namespace kelsor::jobs {

class BatchOCRWnd : public ui::WindowImplBase {
public:
    BatchOCRWnd();
    ~BatchOCRWnd() override;

    // Checks each path (one notice for all those refused), keeps the
    // pictures up to the limit of 100 and lists them. Also the target of
    // drops.
    void AddPaths(const std::vector<std::wstring>& paths);
    // Dropped paths: a folder first (its pictures, when it has any), else
    // every path as dropped.
    void AddDroppedPaths(const std::vector<std::wstring>& paths);
    // The picker buttons.
    void AddFiles();
    void AddFolder();
    // Empties the list unless tasks are queued or running.
    void ClearList();
    // Start-all, for the main window's batch start button.
    void StartAll() { m_list.StartAll(); }

    BatchList& List() { return m_list; }
    // Queues through `tasks` from now on (the process-wide task manager by
    // default); it must outlive the page.
    void SetTaskManager(ConvertTaskMgr& tasks) { m_list.SetTaskManager(tasks); }

protected:
    ui::CDuiString GetWindowClassName() const override { return L"BatchOCRWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"batchocrwnd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    void OnFinalMessage(ui::HWND) override { delete this; }

private:
    std::vector<std::unique_ptr<BatchFileItem>> CheckPaths(const std::vector<std::wstring>& paths);
    void ShowFilled(bool filled);

    BatchList m_list;
    CListUIExNotify m_listNotify;
    ui::CListUI* m_listControl = nullptr;
};

// The process-wide batch page, null while none exists.
BatchOCRWnd* GetBatchOCRPage();

// Routes the task runner's events to the batch page: each event's values are
// copied on the worker and applied on the UI thread, in the order sent,
// without the worker ever waiting for the UI thread.
void RouteTaskEventsToBatchPage();

}  // namespace kelsor::jobs
