#pragma once

#include <string>
#include <vector>

// The converter's list of files: what each one is, where its text goes and
// how far its conversion is. UI thread only.
namespace kelsor::pdf {

enum class JobState { Waiting, Converting, Done, Failed, Cancelled };

// What a run writes for each file: "文本文件", "可搜索PDF", or both.
enum class PdfOutput { Text, Searchable, Both };

struct PdfJob {
    int id = 0;
    std::wstring path;            // the PDF file
    std::wstring fileName;        // its name without the folder
    std::wstring outputPath;      // the text file; set when a run takes the job and writes one
    std::wstring searchablePath;  // the searchable copy, the same way
    JobState state = JobState::Waiting;
    int pagesDone = 0;
    int pageCount = 0;
    std::wstring statusText;  // the outcome's words once it has one
};

// True for a name ending in ".pdf" in any case.
bool IsPdfName(const std::wstring& path);

class PdfJobList {
public:
    struct Added {
        std::vector<int> ids;   // the new jobs, in order
        int notPdf = 0;         // paths passed over: not a PDF file name
        int alreadyListed = 0;  // paths passed over: in the list already
    };
    // Adds the PDF files among `paths`, each path once. Each new file is
    // opened at once, so that the list shows its page count, or why it
    // cannot be converted (the job is then Failed).
    Added Add(const std::vector<std::wstring>& paths);
    // Removes a job that is not converting; false otherwise.
    bool Remove(int id);

    PdfJob* Find(int id);
    const PdfJob* Find(int id) const;
    const std::vector<PdfJob>& Jobs() const { return m_jobs; }

    // The jobs a run converts (every one not done yet), in list order, each
    // given the files `output` asks for: `folder` + the PDF's base name +
    // ".txt" and + " (可搜索).pdf", in the PDF's own folder when `folder` is
    // empty. A name another listed PDF already writes or is, or a file there
    // that the converter did not write (the user's own notes.txt beside
    // notes.pdf), gets " (2)", " (3)" …, as on the batch page. The jobs are
    // marked Waiting with no progress.
    std::vector<int> PrepareRun(const std::wstring& folder, PdfOutput output = PdfOutput::Text);

private:
    std::vector<PdfJob> m_jobs;
    int m_nextId = 1;
};

}  // namespace kelsor::pdf
