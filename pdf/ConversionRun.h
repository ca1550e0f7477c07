#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "pdf/PdfToText.h"

// One run of the converter: the files of the list converted one after the
// other on a thread of their own, page progress and outcomes reported as
// they come, a stop that ends the page being read at once, and files taken
// out of the list on the way.
namespace kelsor::pdf {

class ConversionRun {
public:
    struct Task {
        int id = 0;
        QString pdfPath;
        QString outputPath;      // the text file; empty: none
        QString searchablePath;  // the searchable copy; empty: none
    };
    // Called on the run's thread; they must only hand the news over (post
    // it to the window).
    struct Events {
        std::function<void(int id, int pagesDone, int pageCount)> progress;
        std::function<void(int id)> finished;  // its outcome: TakeOutcome(id)
        std::function<void()> allFinished;
    };

    ConversionRun(std::vector<Task> tasks, PageRecognizer recognize, PageReading reading,
                  Events events);
    // Stops the run and waits for it: at once while a page is being read,
    // after the recognition of the page in hand otherwise.
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // Tasks not begun yet end as cancelled, the one in hand at once while a
    // page is being read, else before its next page.
    void Cancel();
    bool Cancelled() const { return m_cancel.load(); }
    // Takes task `id` out of the run: it is never opened, or its conversion
    // stops as with Cancel and writes nothing; no news of it follows.
    void Remove(int id);
    PdfOutcome TakeOutcome(int id);

private:
    void Work();
    // Makes `id` the task in hand; false when it was removed.
    bool Begin(int id);

    std::vector<Task> m_tasks;
    PageRecognizer m_recognize;
    PageReading m_reading;
    Events m_events;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_cancelTask{false};  // the task in hand: Cancel, or its removal
    std::mutex m_mutex;
    int m_current = 0;
    std::set<int> m_removed;
    std::map<int, PdfOutcome> m_outcomes;
    std::thread m_thread;  // last: starts once everything above exists
};

}  // namespace kelsor::pdf
