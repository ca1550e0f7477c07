#include "pdf/PdfJobList.h"

#include <QFileInfo>
#include <algorithm>
#include <cwctype>

#include "jobs/BatchFileItem.h"
#include "jobs/ConvertTask.h"
#include "pdf/PdfFile.h"
#include "pdf/PdfToText.h"

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

std::vector<int> PdfJobList::PrepareRun(const std::wstring& folder) {
    const auto takes = [](const PdfJob& job) {
        return job.state != JobState::Done && job.state != JobState::Converting;
    };
    for (PdfJob& job : m_jobs) {
        if (takes(job))
            job.outputPath.clear();  // an earlier run's name is free again
    }
    std::vector<int> ids;
    for (PdfJob& job : m_jobs) {
        if (!takes(job))
            continue;
        const std::wstring target = folder.empty() ? FolderOfPath(job.path) : folder;
        job.outputPath = NumberedResultPath(
            target, OutputBaseName(job.fileName), [&](const std::wstring& candidate) {
                const QString file = QString::fromStdWString(candidate);
                return (QFileInfo::exists(file) && !IsConverterText(file)) ||
                       std::any_of(m_jobs.begin(), m_jobs.end(), [&](const PdfJob& other) {
                           return other.id != job.id && other.outputPath == candidate;
                       });
            });
        job.state = JobState::Waiting;
        job.pagesDone = 0;
        job.statusText.clear();
        ids.push_back(job.id);
    }
    return ids;
}

}  // namespace kelsor::pdf
