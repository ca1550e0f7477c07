#include "pdf/PdfJobList.h"

#include <QFileInfo>
#include <algorithm>
#include <cwctype>

#include "jobs/BatchFileItem.h"
#include "jobs/ConvertTask.h"
#include "pdf/PdfFile.h"
#include "pdf/PdfToText.h"
#include "pdf/SearchablePdf.h"

namespace kelsor::pdf {

bool IsPdfName(const std::wstring& path) {
    if (path.size() < 4)
        return false;
    std::wstring extension = path.substr(path.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return extension == L".pdf";
}

PdfJobList::Added PdfJobList::Add(const std::vector<std::wstring>& paths) {
    Added added;
    for (const std::wstring& path : paths) {
        if (!IsPdfName(path)) {
            ++added.notPdf;
            continue;
        }
        const bool listed = std::any_of(m_jobs.begin(), m_jobs.end(),
                                        [&](const PdfJob& job) { return job.path == path; });
        if (listed) {
            ++added.alreadyListed;
            continue;
        }
        PdfJob job;
        job.id = m_nextId++;
        job.path = path;
        job.fileName = path.substr(FolderOfPath(path).size());
        PdfFile file;
        const PdfFailure failure = file.Open(QString::fromStdWString(path));
        job.pageCount = file.PageCount();
        if (failure != PdfFailure::None) {
            job.state = JobState::Failed;
            job.statusText = FailureText(failure);
        }
        m_jobs.push_back(std::move(job));
        added.ids.push_back(m_jobs.back().id);
    }
    return added;
}

bool PdfJobList::Remove(int id) {
    const auto it = std::find_if(m_jobs.begin(), m_jobs.end(),
                                 [id](const PdfJob& job) { return job.id == id; });
    if (it == m_jobs.end() || it->state == JobState::Converting)
        return false;
    m_jobs.erase(it);
    return true;
}

PdfJob* PdfJobList::Find(int id) {
    const auto it = std::find_if(m_jobs.begin(), m_jobs.end(),
                                 [id](const PdfJob& job) { return job.id == id; });
    return it == m_jobs.end() ? nullptr : &*it;
}

const PdfJob* PdfJobList::Find(int id) const {
    return const_cast<PdfJobList*>(this)->Find(id);
}

std::vector<int> PdfJobList::PrepareRun(const std::wstring& folder, PdfOutput output) {
    const auto takes = [](const PdfJob& job) {
        return job.state != JobState::Done && job.state != JobState::Converting;
    };
    for (PdfJob& job : m_jobs) {
        if (takes(job)) {
            // An earlier run's names are free again.
            job.outputPath.clear();
            job.searchablePath.clear();
        }
    }
    // The first free name for `job`'s output `field`; `ours` tells the files
    // the converter wrote, which it may replace.
    const auto name = [&](const PdfJob& job, std::wstring PdfJob::*field, const std::wstring& base,
                          const std::wstring& extension, bool (*ours)(const QString&)) {
        const std::wstring target = folder.empty() ? FolderOfPath(job.path) : folder;
        return NumberedResultPath(
            target, base,
            [&](const std::wstring& candidate) {
                const QString file = QString::fromStdWString(candidate);
                return (QFileInfo::exists(file) && !ours(file)) ||
                       std::any_of(m_jobs.begin(), m_jobs.end(), [&](const PdfJob& other) {
                           return other.path == candidate ||
                                  (other.id != job.id && other.*field == candidate);
                       });
            },
            extension);
    };
    std::vector<int> ids;
    for (PdfJob& job : m_jobs) {
        if (!takes(job))
            continue;
        const std::wstring base = OutputBaseName(job.fileName);
        if (output != PdfOutput::Searchable)
            job.outputPath = name(job, &PdfJob::outputPath, base, L".txt", &IsConverterText);
        if (output != PdfOutput::Text)
            job.searchablePath = name(job, &PdfJob::searchablePath, base + L" (可搜索)", L".pdf",
                                      &IsConverterSearchablePdf);
        job.state = JobState::Waiting;
        job.pagesDone = 0;
        job.statusText.clear();
        ids.push_back(job.id);
    }
    return ids;
}

}  // namespace kelsor::pdf
