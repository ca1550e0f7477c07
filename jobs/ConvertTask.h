#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "jobs/BatchFileItem.h"
#include "jobs/ConverCtrl.h"
#include "jobs/TaskStatus.h"

// One batch task: converts a picture to a temporary JPEG, recognises it and
// writes the text file, on two threads of its own (a progress ticker and the
// recognition). The task is shared by the manager, the worker and both
// threads, so it lives until the last of them lets go of it.
namespace kelsor {

// (format type, picture path) -> text in the code page, empty on failure.
using RecognizeFunction = std::function<std::string(int formatType, const std::wstring& path)>;
// (picture, its JPEG work file, text file, text in the code page): told on
// the recognition thread once a task's text file is written, while the work
// file is still there.
using TextWrittenFunction =
    std::function<void(const std::wstring& picture, const std::wstring& workPicture,
                       const std::wstring& textPath, const std::string& text)>;

// The base name of a file name: up to, not including, its last "."; the whole
// name when it has none.
std::wstring OutputBaseName(const std::wstring& fileName);

class ConvertTask : public std::enable_shared_from_this<ConvertTask> {
public:
    ConvertTask() = default;
    ~ConvertTask();
    ConvertTask(const ConvertTask&) = delete;
    ConvertTask& operator=(const ConvertTask&) = delete;

    // UI thread, before the task is queued: fixes the output names from the
    // current output options and marks task and item Queued.
    void Prepare(BatchFileItem& item);

    // Worker: moves a queued task to Running and starts its two threads;
    // an empty `recognize` is the service's (ServiceTextRecognition with the
    // code switch copied when queued). False when the task was cancelled
    // first (nothing is started).
    bool Start(const RecognizeFunction& recognize, const TextWrittenFunction& written = {});

    // UI thread: marks the task Cancelled and forgets the item, which its
    // owner may free once this returns. Waits at most for one event of this
    // task that is being delivered.
    void Cancel();

    // Worker: sends one event unless the task has been cancelled; the status
    // carries `state`, the state the worker saw when it chose `code`.
    void Deliver(ConverCtrl& ctrl, int code, int state);

    // Worker: takes the ticker's progress into the status block.
    void CopyProgress() { m_status.progress = m_progressCounter.load(); }

    // Worker: waits one polling step. It ends early when the task is
    // cancelled or abandoned and, with `wakeOnFinish`, when recognition ends.
    void WaitStep(std::chrono::milliseconds step, bool wakeOnFinish);

    // Lets a waiting worker go at once (the manager is going away).
    void Abandon();

    // Worker, once it is done with the task: waits for both threads when the
    // recognition has ended (they are ending too), so that none outlives the
    // task's last event; a recognition still running (the task cancelled or
    // abandoned) is left to end on its own.
    void EndThreads();

    int State() const { return m_state.load(); }
    bool Done() const { return m_done.load(); }
    const TaskStatus& Status() const { return m_status; }

    void Tick();
    int Convert(const std::wstring& sourcePath, const std::wstring& tempPath,
                const std::wstring& outputPath, int formatType, const RecognizeFunction& recognize,
                const TextWrittenFunction& written = {});

private:
    void Wake();
    // Ends a running task with `state`; a cancelled task keeps Cancelled.
    void Finish(int state);

    // Status block: id, progress and tag are written before the task is
    // queued and afterwards only by the worker; the state moves on several
    // threads and is atomic.
    TaskStatus m_status;
    std::atomic<int> m_state{TaskNone};

    // The item, until the task is cancelled. Read and cleared under m_mutex.
    BatchFileItem* m_item = nullptr;
    // Copies of the item's names for the recognition thread.
    std::wstring m_sourcePath;
    std::wstring m_tempPath;
    std::wstring m_outputPath;
    int m_formatType = FormatPriority;
    bool m_readCodes = true;

    std::atomic<bool> m_done{false};
    std::atomic<int> m_progressCounter{0};
    std::atomic<bool> m_abandoned{false};

    // Orders Start and event delivery against Cancel.
    std::mutex m_mutex;
    // Wakes the worker's polling step and the ticker early.
    std::mutex m_wakeMutex;
    std::condition_variable m_wakeCv;

    std::thread m_ticker;
    std::thread m_recognition;
};

}  // namespace kelsor
