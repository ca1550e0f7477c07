#include "pages/BatchOCRWnd.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QMetaObject>

#include "app/TextConv.h"
#include "app/Utilities.h"
#include "jobs/BatchFileItem.h"
#include "jobs/BatchPictureInfo.h"
#include "jobs/ConverCtrl.h"
#include "jobs/ConvertTaskMgr.h"
#include "notices/CommonDlg.h"
#include "pages/PageControls.h"
#include "pages/PageNaming.h"
#include "platform/sys/Messages.h"

namespace kelsor::jobs {
namespace {

using notices::CommonDlg;
namespace notice = notices::notice;

BatchOCRWnd* g_batchPage = nullptr;

bool IsExistingFile(const std::wstring& path) {
    struct stat info {};
    return !path.empty() && ::stat(WideToAnsi(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool IsFolder(const std::wstring& path) {
    struct stat info {};
    return !path.empty() && ::stat(WideToAnsi(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

void RouteTaskEventsToBatchPage() {
    ConverCtrl::Process().SetTaskEventHandler([](const TaskStatus& status) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            return;
        }
        // Queued: the worker holds the task's lock here, and a remove click
        // on the UI thread waits for that lock, so waiting for the UI thread
        // would deadlock. Posts to one object arrive in the order sent.
        QMetaObject::invokeMethod(
            app,
            [copy = status] {
                if (BatchOCRWnd* page = GetBatchOCRPage()) {
                    page->List().OnTaskEvent(copy);
                }
            },
            Qt::QueuedConnection);
    });
}

BatchOCRWnd::BatchOCRWnd() : m_list(ProcessBatchStore()), m_listNotify(m_list) {
    g_batchPage = this;
    AddVirtualWnd(L"BatchOCR_ListWnd", &m_listNotify);
    RouteTaskEventsToBatchPage();
}

BatchOCRWnd::~BatchOCRWnd() {
    if (g_batchPage == this) {
        g_batchPage = nullptr;
    }
}

BatchOCRWnd* GetBatchOCRPage() {
    return g_batchPage;
}

void BatchOCRWnd::InitWindow() {
    m_listControl = dynamic_cast<ui::CListUI*>(m_PaintManager.FindControl(L"BatchOCR_List"));
    m_list.Attach(m_PaintManager, m_listControl, GetHWND());
    if (m_listControl != nullptr) {
        m_listControl->SetAttribute(L"bkcolor", L"#FFFFFFFF");
        m_listControl->SetAttribute(L"itemhotbkcolor", L"#FFFFFFFF");
        m_listControl->SetAttribute(L"itemselectedbkcolor", L"#FFFFFFFF");
        m_listControl->SetAttribute(L"itemlinecolor", L"#FFF9F9FA");
    }
    ShowFilled(false);
}

void BatchOCRWnd::ShowFilled(bool filled) {
    SetControlVisible(m_PaintManager, L"batchselectpicbtn", !filled);
    if (m_listControl != nullptr) {
        m_listControl->SetVisible(filled);
    }
}

void BatchOCRWnd::OnClick(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) {
        return;
    }
    const ui::CDuiString name = msg.pSender->GetName();
    if (name == L"addfilebtn" || name == L"batchselectpicbtn") {
        AddFiles();
    } else if (name == L"addfolderbtn") {
        AddFolder();
    } else if (name == L"clearlistbtn") {
        ClearList();
    }
}

void BatchOCRWnd::AddFiles() {
    std::vector<std::wstring> paths;
    if (ui::PickPictures(GetHWND(), paths)) {
        AddPaths(paths);
    }
}

void BatchOCRWnd::AddFolder() {
    std::wstring folder;
    std::vector<std::wstring> paths;
    if (ui::PickFolder(GetHWND(), folder) && ScanFolderForPictures(folder, paths)) {
        AddPaths(paths);
    }
}

void BatchOCRWnd::AddDroppedPaths(const std::vector<std::wstring>& paths) {
    if (paths.empty()) {
        return;
    }
    if (!IsFolder(paths.front())) {
        AddPaths(paths);
        return;
    }
    std::vector<std::wstring> found;
    if (ScanFolderForPictures(paths.front(), found)) {
        AddPaths(found);
    }
}

std::vector<std::unique_ptr<BatchFileItem>> BatchOCRWnd::CheckPaths(
    const std::vector<std::wstring>& paths) {
    std::vector<std::unique_ptr<BatchFileItem>> kept;
    // One notice for the whole addition: a folder of a hundred damaged files
    // must not open a hundred dialogs one after another.
    std::vector<notice::RefusedFile> refused;
    for (const std::wstring& path : paths) {
        const BatchPictureInfo info = ReadBatchPictureInfo(path);
        if (info.check != PictureAccepted) {
            refused.push_back(
                {path.substr(FolderOfPath(path).size()), info.check == PictureUnsupported});
            continue;
        }
        auto item = std::make_unique<BatchFileItem>();
        item->id = NextBatchItemId();
        item->fileName = path.substr(FolderOfPath(path).size());
        item->sourcePath = path;
        item->sizeText = info.sizeText;
        item->dimensionsText = info.dimensionsText;
        kept.push_back(std::move(item));
    }
    if (!refused.empty()) {
        CommonDlg::ShowNotice(GetHWND(), notice::RefusedFilesText(refused));
    }
    return kept;
}

void BatchOCRWnd::AddPaths(const std::vector<std::wstring>& paths) {
    std::vector<std::unique_ptr<BatchFileItem>> kept = CheckPaths(paths);
    if (kept.empty()) {
        return;
    }
    BatchFileStore& store = m_list.Store();
    if (store.Size() >= BatchFileStore::kCapacity) {
        CommonDlg::ShowNotice(MainWindowHandle(GetHWND()), notice::kListFull);
        return;
    }
    store.Fill(kept);  // what does not fit is dropped
    // The first path counts even when its own picture was refused.
    if (IsExistingFile(paths.front())) {
        BatchSourceFolder() = FolderOfPath(paths.front());
    }
    ShowFilled(true);
    SendPageMessage(WM_KSOCR_BATCH_ENABLESTART);
    m_list.AddRows();
}

void BatchOCRWnd::ClearList() {
    if (m_list.Tasks().TaskCount() > 0) {
        CommonDlg::ShowNotice(MainWindowHandle(GetHWND()), notice::kTasksRunning);
        return;
    }
    m_list.RemoveAllRows();
    m_list.Store().Clear();
    ShowFilled(false);
    SendPageMessage(WM_KSOCR_BATCH_DISABLESTART);
}

}  // namespace kelsor::jobs
