#include "pdf/ConversionRun.h"

#include "history/HistoryRecorder.h"

namespace kelsor::pdf {
namespace {

// Each scanned page that gave text joins the history, once the text file
// holding it is written.
void RecordScannedPages(history::Recorder& recorder, const QString& pdfPath,
                        const PdfOutcome& outcome) {
    for (const ScannedPageText& page : outcome.scannedPages) {
        history::NewEntry entry;
        entry.road = history::Road::PdfConverter;
        entry.source = pdfPath.toStdWString();
        entry.textPath = outcome.writeFailed ? std::wstring() : outcome.outputPath.toStdWString();
        entry.text = page.text.toStdWString();
        entry.page = page.number;
        entry.thumbnail = page.thumbnail;
        recorder.Record(entry);
    }
}

}  // namespace

ConversionRun::ConversionRun(std::vector<Task> tasks, PageRecognizer recognize, PageReading reading,
                             Events events)
    : m_tasks(std::move(tasks)),
      m_recognize(std::move(recognize)),
      m_reading(std::move(reading)),
      m_events(std::move(events)),
      m_thread([this] { Work(); }) {}

ConversionRun::~ConversionRun() {
    Cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void ConversionRun::Cancel() {
    m_cancel.store(true);
    m_cancelTask.store(true);
}

void ConversionRun::Remove(int id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_removed.insert(id);
    if (m_current == id)
        m_cancelTask.store(true);
}

bool ConversionRun::Begin(int id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_removed.count(id) > 0)
        return false;
    m_current = id;
    m_cancelTask.store(m_cancel.load());
    return true;
}

PdfOutcome ConversionRun::TakeOutcome(int id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_outcomes.find(id);
    if (it == m_outcomes.end())
        return {};
    PdfOutcome outcome = it->second;
    m_outcomes.erase(it);
    return outcome;
}

void ConversionRun::Work() {
    history::Recorder recorder;
    for (const Task& task : m_tasks) {
        if (!Begin(task.id))
            continue;
        PdfOutcome outcome;
        if (m_cancel.load()) {
            outcome.cancelled = true;
        } else {
            outcome = ConvertPdf(
                task.pdfPath, {task.outputPath, task.searchablePath}, m_recognize,
                [&](int done, int count) {
                    if (m_events.progress)
                        m_events.progress(task.id, done, count);
                },
                m_cancelTask, m_reading);
            if (!outcome.cancelled && outcome.failure == PdfFailure::None)
                RecordScannedPages(recorder, task.pdfPath, outcome);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_current = 0;
            if (m_removed.count(task.id) > 0)
                continue;
            m_outcomes[task.id] = outcome;
        }
        if (m_events.finished)
            m_events.finished(task.id);
    }
    if (m_events.allFinished)
        m_events.allFinished();
}

}  // namespace kelsor::pdf
