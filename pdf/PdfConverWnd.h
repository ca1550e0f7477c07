#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pdf/ConversionRun.h"
#include "pdf/PdfJobList.h"
#include "platform/ui/UiLib.h"

// The converter's window: PDF files added by the picker, by dropping them
// or on the command line; "开始转换" converts the list one file after the
// other on a worker into a text file, a searchable PDF or both, each row
// showing its page progress and then its outcome with "打开文件" /
// "打开文件夹"; "停止转换" stops before the next page.
namespace kelsor::pdf {

class PdfConverWnd : public ui::WindowImplBase {
public:
    // `recognizerFactory` gives each run its recognizer of scanned pages;
    // pages are read as `reading` says.
    using RecognizerFactory = std::function<PageRecognizer()>;
    PdfConverWnd(RecognizerFactory recognizerFactory, PageReading reading);
    ~PdfConverWnd() override;

    // Adds PDF files (others are passed over, with a note saying so).
    void AddFiles(const std::vector<std::wstring>& paths);
    void StartConversion();
    void StopConversion();
    bool IsConverting() const { return m_run != nullptr; }
    // The files written go into `folder` (ending with "/"), or beside each
    // PDF when it is empty.
    void SetOutputFolder(const std::wstring& folder);
    // What the next run writes for each file; the options beside the output
    // folder show it.
    void SetOutput(PdfOutput output);
    PdfOutput Output() const { return m_output; }

    const PdfJobList& Jobs() const { return m_jobs; }
    // What the row of job `id` shows (tests read these).
    std::wstring RowText(int id, const wchar_t* control) const;
    bool RowControlVisible(int id, const wchar_t* control) const;
    // A click on a control of that row: nothing happens on a hidden or
    // disabled one.
    bool ClickRowControl(int id, const wchar_t* control);

    ui::LRESULT HandleMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

protected:
    ui::CDuiString GetWindowClassName() const override { return L"KelsorPDFConverWnd"; }
    ui::CDuiString GetSkinFolder() override { return L""; }
    ui::CDuiString GetSkinFile() override { return L"pdfconverwnd.xml"; }
    void InitWindow() override;
    void OnClick(ui::TNotifyUI& msg) override;
    bool HostEvent(QEvent* event) override;

private:
    struct Row {
        ui::CListContainerElementUI* element = nullptr;
        ui::CLabelUI* pages = nullptr;
        ui::CProgressUI* progress = nullptr;
        ui::CLabelUI* progressText = nullptr;
        ui::CLabelUI* status = nullptr;
        ui::CButtonUI* open = nullptr;
        ui::CButtonUI* folder = nullptr;
        ui::CButtonUI* remove = nullptr;
    };
    template <typename Control>
    Control* Sub(ui::CControlUI* row, const wchar_t* name) const;
    ui::CControlUI* RowControl(int id, const wchar_t* control) const;
    void AddRow(const PdfJob& job);
    void ShowJob(const PdfJob& job);
    void RemoveJob(int id);
    void ClearList();
    void OnRowClick(const std::wstring& name, int id);
    void OnPageProgress(int id, int pagesDone, int pageCount);
    void OnFileFinished(int id);
    void OnRunFinished();
    // Closing: a run in progress stops before the window goes (at once,
    // unless a page is being recognised).
    void EndRunBeforeClose();
    void ShowControls();
    void ChooseOutputFolder();
    void Note(const std::wstring& text);

    RecognizerFactory m_recognizerFactory;
    PageReading m_reading;
    PdfJobList m_jobs;
    std::map<int, Row> m_rows;
    std::unique_ptr<ConversionRun> m_run;
    std::wstring m_customFolder;
    bool m_useCustomFolder = false;
    PdfOutput m_output = PdfOutput::Text;
    ui::CListUI* m_list = nullptr;
};

}  // namespace kelsor::pdf
