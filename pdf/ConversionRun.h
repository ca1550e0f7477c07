#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "pdf/PdfToText.h"

// One run of the converter: the files of the list converted one after the
// other on a thread of their own, page progress and outcomes reported as
// they come, and a stop that takes effect before the next page.
namespace kelsor::pdf {

class ConversionRun {
public:
    struct Task {
        int id = 0;
        QString pdfPath;
        QString outputPath;
    };
    // Called on the run's thread; they must only hand the news over (post
    // it to the window).
    struct Events {
        std::function<void(int id, int pagesDone, int pageCount)> progress;
        std::function<void(int id)> finished;  // its outcome: TakeOutcome(id)
        std::function<void()> allFinished;
    };

    ConversionRun(std::vector<Task> tasks, PageRecognizer recognize, Events events);
    // Stops the run and waits for the page in hand.
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // Tasks not begun yet end as cancelled, the one in hand before its next page.
    void Cancel() { m_cancel.store(true); }
    bool Cancelled() const { return m_cancel.load(); }
    PdfOutcome TakeOutcome(int id);

private:
    void Work();

    std::vector<Task> m_tasks;
    PageRecognizer m_recognize;
    Events m_events;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    std::map<int, PdfOutcome> m_outcomes;
    std::thread m_thread;  // last: starts once everything above exists
};

}  // namespace kelsor::pdf
