#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "cloud/RecognizePictureText.h"
#include "jobs/BatchFileItem.h"
#include "jobs/ConverCtrl.h"
#include "jobs/ConvertTask.h"
#include "jobs/ServicePicture.h"

// The batch task runner: a queue of tasks ordered by key and one worker
// thread that runs them one after another, reporting each task's progress and
// outcome through the event controller.
//
// The UI thread never waits for a running task: the worker holds the queue's
// mutex only to take a task and to remove it, and runs the task without it.
namespace kelsor {

class ConvertTaskMgr {
public:
    // Starts the worker. `recognize` defaults to the cloud recognition, with
    // codes read as each task's copy of the user's switch says; `ctrl` to the
    // process-wide controller (it must outlive the manager).
    explicit ConvertTaskMgr(RecognizeFunction recognize = {}, ConverCtrl* ctrl = nullptr);
    // Stops the worker once its current polling step ends; queued tasks are
    // dropped without events. Threads of a running task finish on their own.
    ~ConvertTaskMgr();
    ConvertTaskMgr(const ConvertTaskMgr&) = delete;
    ConvertTaskMgr& operator=(const ConvertTaskMgr&) = delete;

    // Queues a task for `item` and returns its key: 1 for the first task,
    // rising for the whole run, never reused. The item must stay alive until
    // its task has ended or CancelTask for it has returned.
    int AddTask(BatchFileItem& item);

    // Cancels a queued or running task: it sends no further event. Always 1.
    int CancelTask(int key);

    // Tasks in the map, queued or running.
    std::size_t TaskCount() const;

    // With true (the default) the worker looks at a task as soon as its
    // recognition ends instead of sleeping out its 100 ms step. The events
    // are the same either way.
    void SetWakeOnRecognitionEnd(bool wake) { m_wakeOnFinish = wake; }

    // Told for each task whose text file is written, on its recognition
    // thread; tasks started from now on.
    void SetOnTextWritten(TextWrittenFunction written);

private:
    void WorkLoop();
    void RunTask(const std::shared_ptr<ConvertTask>& task);

    std::map<int, std::shared_ptr<ConvertTask>> m_tasks;
    int m_lastKey = 0;
    std::thread m_worker;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    ConverCtrl* m_ctrl;

    RecognizeFunction m_recognize;
    TextWrittenFunction m_written;           // under m_mutex
    std::shared_ptr<ConvertTask> m_running;  // under m_mutex
    bool m_stopping = false;                 // under m_mutex
    std::atomic<bool> m_stop{false};         // m_stopping for the running task's loop
    std::atomic<bool> m_wakeOnFinish{true};
};

// The process-wide manager, created with its worker on first use; the entry
// point makes that the first step of the start-up. It lives for the whole
// run: tasks still queued at exit are dropped with the process.
ConvertTaskMgr& ProcessTaskManager();

}  // namespace kelsor
