#include "pdf/PdfConverWnd.h"

#include <QString>
#include <QWidget>

#include "jobs/BatchFileItem.h"
#include "platform/sys/Process.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/FileDrop.h"

namespace kelsor::pdf {

using namespace kelsor::ui;

namespace {

// The worker's news, posted to the window (WM_USER + n): wParam the job id, lParam the
// pages done (high half) and the page count (low half).
constexpr UINT kPageProgress = 0x0400 + 301;
constexpr UINT kFileFinished = 0x0400 + 302;  // wParam the job id
constexpr UINT kRunFinished = 0x0400 + 303;

constexpr QColor kStatusGrey(0x99, 0x99, 0x99);
constexpr QColor kStatusBlue(0x43, 0x99, 0xFD);
constexpr QColor kStatusGreen(0x2E, 0xBD, 0x6B);
constexpr QColor kStatusRed(0xE5, 0x48, 0x4D);

// The output options of the window and what each one writes.
struct OutputOption {
    const wchar_t* name;
    PdfOutput output;
};
constexpr OutputOption kOutputOptions[] = {{L"pdfouttext", PdfOutput::Text},
                                           {L"pdfoutsearchable", PdfOutput::Searchable},
                                           {L"pdfoutboth", PdfOutput::Both}};

// The file a row's "打开文件" opens: the text file where there is one.
const std::wstring& ResultPath(const PdfJob& job) {
    return job.outputPath.empty() ? job.searchablePath : job.outputPath;
}

std::wstring StateText(const PdfJob& job) {
    switch (job.state) {
        case JobState::Waiting:
            return L"等待转换";
        case JobState::Converting:
            return L"正在转换";
        default:
            return job.statusText;
    }
}

QColor StateColor(JobState state) {
    switch (state) {
        case JobState::Converting:
            return kStatusBlue;
        case JobState::Done:
            return kStatusGreen;
        case JobState::Failed:
            return kStatusRed;
        default:
            return kStatusGrey;
    }
}

}  // namespace

PdfConverWnd::PdfConverWnd(RecognizerFactory recognizerFactory, PageReading reading)
    : m_recognizerFactory(std::move(recognizerFactory)), m_reading(std::move(reading)) {}

PdfConverWnd::~PdfConverWnd() {
    m_run.reset();  // stops the run and waits for the page in hand
}

void PdfConverWnd::InitWindow() {
    m_list = dynamic_cast<CListUI*>(m_PaintManager.FindControl(L"pdflist"));
    SetOutputFolder(L"");
    SetOutput(m_output);
    ShowControls();
}

void PdfConverWnd::AddFiles(const std::vector<std::wstring>& paths) {
    const PdfJobList::Added added = m_jobs.Add(paths);
    for (int id : added.ids)
        AddRow(*m_jobs.Find(id));
    if (added.notPdf > 0)
        Note(L"已跳过" + std::to_wstring(added.notPdf) + L"个不是PDF的文件");
    else if (added.alreadyListed > 0)
        Note(L"已跳过" + std::to_wstring(added.alreadyListed) + L"个已在列表中的文件");
    else if (!added.ids.empty())
        Note(L"");
    ShowControls();
}

template <typename Control>
Control* PdfConverWnd::Sub(CControlUI* row, const wchar_t* name) const {
    return dynamic_cast<Control*>(m_PaintManager.FindSubControlByName(row, name));
}

void PdfConverWnd::AddRow(const PdfJob& job) {
    if (m_list == nullptr)
        return;
    CDialogBuilder builder;
    auto* element = dynamic_cast<CListContainerElementUI*>(
        builder.Create(L"pdfconveritem.xml", L"", nullptr, &m_PaintManager, m_list));
    if (element == nullptr)
        return;
    Row row;
    row.element = element;
    row.pages = Sub<CLabelUI>(element, L"pdf_pages");
    row.progress = Sub<CProgressUI>(element, L"pdf_progress");
    row.progressText = Sub<CLabelUI>(element, L"pdf_progresstext");
    row.status = Sub<CLabelUI>(element, L"pdf_status");
    row.open = Sub<CButtonUI>(element, L"pdf_open");
    row.folder = Sub<CButtonUI>(element, L"pdf_folder");
    row.remove = Sub<CButtonUI>(element, L"pdf_remove");
    for (CButtonUI* button : {row.open, row.folder, row.remove}) {
        if (button != nullptr)
            button->SetTag(static_cast<std::uintptr_t>(job.id));
    }
    if (auto* name = Sub<CLabelUI>(element, L"pdf_name")) {
        name->SetText(job.fileName);
        name->SetToolTip(job.path);
    }
    m_rows[job.id] = row;
    ShowJob(job);
}

void PdfConverWnd::ShowJob(const PdfJob& job) {
    const auto it = m_rows.find(job.id);
    if (it == m_rows.end())
        return;
    const Row& row = it->second;
    const bool known = job.pageCount > 0;
    if (row.pages != nullptr)
        row.pages->SetText(known ? std::to_wstring(job.pageCount) : L"-");
    if (row.progress != nullptr)
        row.progress->SetValue(known ? job.pagesDone * 100 / job.pageCount : 0);
    if (row.progressText != nullptr) {
        row.progressText->SetText(known ? std::to_wstring(job.pagesDone) + L"/" +
                                              std::to_wstring(job.pageCount) + L"页"
                                        : L"");
    }
    if (row.status != nullptr) {
        row.status->SetText(StateText(job));
        row.status->SetToolTip(StateText(job));
        row.status->SetTextColor(StateColor(job.state));
    }
    const bool done = job.state == JobState::Done;
    if (row.open != nullptr)
        row.open->SetVisible(done);
    if (row.folder != nullptr)
        row.folder->SetVisible(done);
    if (row.remove != nullptr)
        row.remove->SetEnabled(job.state != JobState::Converting);
}

void PdfConverWnd::RemoveJob(int id) {
    if (!m_jobs.Remove(id))
        return;
    // The run has its own list of the files to convert.
    if (m_run != nullptr)
        m_run->Remove(id);
    const auto it = m_rows.find(id);
    if (it != m_rows.end()) {
        if (m_list != nullptr)
            m_list->Remove(it->second.element);
        m_rows.erase(it);
    }
    ShowControls();
}

void PdfConverWnd::ClearList() {
    std::vector<int> idle;
    for (const PdfJob& job : m_jobs.Jobs()) {
        if (job.state != JobState::Converting)
            idle.push_back(job.id);
    }
    for (int id : idle)
        RemoveJob(id);
    Note(L"");
}

void PdfConverWnd::SetOutputFolder(const std::wstring& folder) {
    m_useCustomFolder = !folder.empty();
    if (m_useCustomFolder)
        m_customFolder = folder;
    if (auto* label = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"pdfdirpath"))) {
        label->SetText(m_customFolder);
        label->SetToolTip(m_customFolder);
    }
    const wchar_t* option = m_useCustomFolder ? L"pdfcustomdir" : L"pdfsourcedir";
    if (auto* radio = dynamic_cast<COptionUI*>(m_PaintManager.FindControl(option)))
        radio->Selected(true);
}

void PdfConverWnd::SetOutput(PdfOutput output) {
    m_output = output;
    for (const OutputOption& option : kOutputOptions) {
        auto* radio = dynamic_cast<COptionUI*>(m_PaintManager.FindControl(option.name));
        if (radio != nullptr && option.output == output)
            radio->Selected(true);
    }
}

void PdfConverWnd::ChooseOutputFolder() {
    std::wstring folder;
    if (PickFolder(GetHWND(), folder))
        SetOutputFolder(folder);
    else
        SetOutputFolder(m_useCustomFolder ? m_customFolder : L"");
}

void PdfConverWnd::StartConversion() {
    if (m_run != nullptr)
        return;
    const std::vector<int> ids =
        m_jobs.PrepareRun(m_useCustomFolder ? m_customFolder : L"", m_output);
    if (ids.empty()) {
        Note(m_jobs.Jobs().empty() ? L"请先添加PDF文件" : L"列表中的文件都已转换完成");
        return;
    }
    std::vector<ConversionRun::Task> tasks;
    for (int id : ids) {
        const PdfJob& job = *m_jobs.Find(id);
        tasks.push_back({id, QString::fromStdWString(job.path),
                         QString::fromStdWString(job.outputPath),
                         QString::fromStdWString(job.searchablePath)});
        ShowJob(job);
    }
    Note(L"");
    ConversionRun::Events events;
    events.progress = [this](int id, int done, int count) {
        PostMessage(kPageProgress, static_cast<WPARAM>(id),
                    static_cast<LPARAM>((static_cast<std::int64_t>(done) << 32) | count));
    };
    events.finished = [this](int id) { PostMessage(kFileFinished, static_cast<WPARAM>(id)); };
    events.allFinished = [this] { PostMessage(kRunFinished); };
    m_run = std::make_unique<ConversionRun>(std::move(tasks), m_recognizerFactory(), m_reading,
                                            std::move(events));
    ShowControls();
}

void PdfConverWnd::StopConversion() {
    if (m_run == nullptr || m_run->Cancelled())
        return;
    m_run->Cancel();
    Note(L"正在停止，当前页完成后停止转换");
    ShowControls();
}

void PdfConverWnd::EndRunBeforeClose() {
    if (m_run == nullptr)
        return;
    // The worker posts to this window: it stops while the window is only
    // hidden, before it is destroyed.
    if (QWidget* host = GetHWND())
        host->hide();
    m_run.reset();
}

void PdfConverWnd::OnPageProgress(int id, int pagesDone, int pageCount) {
    PdfJob* job = m_jobs.Find(id);
    if (job == nullptr)
        return;
    job->state = JobState::Converting;
    job->pagesDone = pagesDone;
    job->pageCount = pageCount;
    ShowJob(*job);
}

void PdfConverWnd::OnFileFinished(int id) {
    if (m_run == nullptr)
        return;
    const PdfOutcome outcome = m_run->TakeOutcome(id);
    PdfJob* job = m_jobs.Find(id);
    if (job == nullptr)
        return;
    job->state = outcome.Succeeded() ? JobState::Done
                 : outcome.cancelled ? JobState::Cancelled
                                     : JobState::Failed;
    if (outcome.pageCount > 0)
        job->pageCount = outcome.pageCount;
    if (!outcome.outputPath.isEmpty())
        job->outputPath = outcome.outputPath.toStdWString();
    if (!outcome.searchablePath.isEmpty())
        job->searchablePath = outcome.searchablePath.toStdWString();
    job->statusText = OutcomeText(outcome);
    ShowJob(*job);
}

void PdfConverWnd::OnRunFinished() {
    m_run.reset();
    int done = 0;
    int failed = 0;
    for (const PdfJob& job : m_jobs.Jobs()) {
        done += job.state == JobState::Done ? 1 : 0;
        failed += job.state == JobState::Failed ? 1 : 0;
    }
    Note(L"转换结束：" + std::to_wstring(done) + L"个完成，" + std::to_wstring(failed) + L"个失败");
    ShowControls();
}

void PdfConverWnd::ShowControls() {
    const bool empty = m_jobs.Jobs().empty();
    if (CControlUI* select = m_PaintManager.FindControl(L"pdfselectbtn"))
        select->SetVisible(empty);
    if (m_list != nullptr)
        m_list->SetVisible(!empty);
    if (auto* start = dynamic_cast<CButtonUI*>(m_PaintManager.FindControl(L"pdfstartbtn"))) {
        start->SetText(m_run != nullptr ? L"停止转换" : L"开始转换");
        start->SetEnabled(m_run != nullptr ? !m_run->Cancelled() : !empty);
    }
    if (CControlUI* clear = m_PaintManager.FindControl(L"pdfclearbtn"))
        clear->SetEnabled(m_run == nullptr);
}

void PdfConverWnd::Note(const std::wstring& text) {
    if (auto* notice = dynamic_cast<CLabelUI*>(m_PaintManager.FindControl(L"pdfnotice")))
        notice->SetText(text);
}

CControlUI* PdfConverWnd::RowControl(int id, const wchar_t* control) const {
    const auto it = m_rows.find(id);
    return it == m_rows.end() ? nullptr : Sub<CControlUI>(it->second.element, control);
}

std::wstring PdfConverWnd::RowText(int id, const wchar_t* control) const {
    const CControlUI* found = RowControl(id, control);
    return found != nullptr ? std::wstring(found->GetText()) : std::wstring();
}

bool PdfConverWnd::RowControlVisible(int id, const wchar_t* control) const {
    const CControlUI* found = RowControl(id, control);
    return found != nullptr && found->IsVisible();
}

bool PdfConverWnd::ClickRowControl(int id, const wchar_t* control) {
    CControlUI* found = RowControl(id, control);
    return found != nullptr && found->Activate();
}

void PdfConverWnd::OnRowClick(const std::wstring& name, int id) {
    const PdfJob* job = m_jobs.Find(id);
    if (job == nullptr)
        return;
    if (name == L"pdf_remove") {
        RemoveJob(id);
    } else if (name == L"pdf_open") {
        if (!platform::OpenWithDesktop(ResultPath(*job)))
            Note(L"无法打开文件：" + ResultPath(*job));
    } else if (name == L"pdf_folder") {
        if (!platform::OpenWithDesktop(FolderOfPath(ResultPath(*job))))
            Note(L"无法打开文件夹：" + FolderOfPath(ResultPath(*job)));
    }
}

void PdfConverWnd::OnClick(TNotifyUI& msg) {
    if (msg.pSender == nullptr)
        return;
    const std::wstring name = msg.pSender->GetName();
    if (name == L"pdfclosebtn") {
        EndRunBeforeClose();
        Close(1);
    } else if (name == L"pdfminbtn") {
        CWindowWnd::SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (name == L"pdfaddbtn" || name == L"pdfselectbtn") {
        std::vector<std::wstring> paths;
        if (PickPdfs(GetHWND(), paths))
            AddFiles(paths);
    } else if (name == L"pdfclearbtn") {
        ClearList();
    } else if (name == L"pdfstartbtn") {
        if (m_run != nullptr)
            StopConversion();
        else
            StartConversion();
    } else if (name == L"pdfchangedirbtn" || name == L"pdfcustomdir") {
        ChooseOutputFolder();
    } else if (name == L"pdfsourcedir") {
        SetOutputFolder(L"");
    } else if (name.rfind(L"pdfout", 0) == 0) {
        for (const OutputOption& option : kOutputOptions) {
            if (name == option.name)
                SetOutput(option.output);
        }
    } else if (name.rfind(L"pdf_", 0) == 0) {
        OnRowClick(name, static_cast<int>(msg.pSender->GetTag()));
    }
}

bool PdfConverWnd::HostEvent(QEvent* event) {
    return HandleFileDrop(event, [this](std::vector<std::wstring> paths) { AddFiles(paths); });
}

LRESULT PdfConverWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kPageProgress:
            OnPageProgress(static_cast<int>(wParam), static_cast<int>(lParam >> 32),
                           static_cast<int>(lParam & 0xFFFFFFFF));
            return 0;
        case kFileFinished:
            OnFileFinished(static_cast<int>(wParam));
            return 0;
        case kRunFinished:
            OnRunFinished();
            return 0;
        case WM_CLOSE:
            EndRunBeforeClose();
            return WindowImplBase::HandleMessage(msg, wParam, lParam);
        default:
            return WindowImplBase::HandleMessage(msg, wParam, lParam);
    }
}

}  // namespace kelsor::pdf
