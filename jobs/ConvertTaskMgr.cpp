#include "jobs/ConvertTaskMgr.h"

#include <chrono>
#include <utility>

namespace kelsor {
namespace {

constexpr std::chrono::milliseconds kPollStep{100};

}  // namespace

ConvertTaskMgr::ConvertTaskMgr(RecognizeFunction recognize, ConverCtrl* ctrl)
    : m_ctrl(ctrl != nullptr ? ctrl : &ConverCtrl::Process()), m_recognize(std::move(recognize)) {
    m_worker = std::thread([this] { WorkLoop(); });
}

ConvertTaskMgr::~ConvertTaskMgr() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_stop = true;
        m_tasks.clear();
        if (m_running) {
            m_running->Abandon();
        }
    }
    m_cv.notify_all();
    // Joined rather than detached so that nothing of the manager is used after
    // it is gone; the wait is one polling step at most.
    m_worker.join();
}

int ConvertTaskMgr::AddTask(BatchFileItem& item) {
    auto task = std::make_shared<ConvertTask>();
    task->Prepare(item);
    int key = 0;
    {
        std::lock_guard lock(m_mutex);
        key = ++m_lastKey;
        m_tasks.emplace(key, std::move(task));
    }
    m_cv.notify_all();
    return key;
}

int ConvertTaskMgr::CancelTask(int key) {
    std::lock_guard lock(m_mutex);
    const auto it = m_tasks.find(key);
    if (it != m_tasks.end()) {
        it->second->Cancel();
    }
    return 1;
}

void ConvertTaskMgr::SetOnTextWritten(TextWrittenFunction written) {
    std::lock_guard lock(m_mutex);
    m_written = std::move(written);
}

std::size_t ConvertTaskMgr::TaskCount() const {
    std::lock_guard lock(m_mutex);
    return m_tasks.size();
}

void ConvertTaskMgr::WorkLoop() {
    for (;;) {
        std::shared_ptr<ConvertTask> task;
        int key = 0;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [&] { return m_stopping || !m_tasks.empty(); });
            if (m_stopping) {
                return;
            }
            // The smallest key is the oldest task.
            key = m_tasks.begin()->first;
            task = m_tasks.begin()->second;
            m_running = task;
        }
        RunTask(task);
        task->EndThreads();
        {
            std::lock_guard lock(m_mutex);
            m_tasks.erase(key);
            m_running.reset();
        }
        // The task itself goes when a recognition still running lets go.
    }
}

void ConvertTaskMgr::RunTask(const std::shared_ptr<ConvertTask>& task) {
    while (!m_stop) {
        task->CopyProgress();
        const int state = task->State();
        switch (state) {
            case Queued:
                task->Deliver(*m_ctrl, 1, state);
                task->Start(m_recognize, [this] {
                    std::lock_guard lock(m_mutex);
                    return m_written;
                }());
                break;
            case Running:
                task->Deliver(*m_ctrl, 2, state);
                break;
            case Succeeded:
                task->Deliver(*m_ctrl, 3, state);
                return;
            case Failed:
                task->Deliver(*m_ctrl, -1, state);
                return;
            case Cancelled:
                return;
            default:
                break;
        }
        task->WaitStep(kPollStep, m_wakeOnFinish);
    }
}

ConvertTaskMgr& ProcessTaskManager() {
    // Never freed: detached task threads may still run while the process ends.
    static ConvertTaskMgr* manager = new ConvertTaskMgr();
    return *manager;
}

}  // namespace kelsor
