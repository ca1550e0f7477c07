#pragma once

#include <functional>
#include <mutex>

#include "jobs/TaskStatus.h"

struct event_base;

// The event controller: task events are delivered through a libevent event
// base, synchronously on the thread that sends them (the runner's worker).
namespace kelsor {

// One event: its code (1 started, 2 progress, 3 succeeded, -1 failed) and the
// status it concerns.
struct CtrlMessage {
    int code = 0;
    const TaskStatus* status = nullptr;
};

class BaseCtrl {
public:
    virtual ~BaseCtrl() = default;
    virtual void OnTaskEvent(const CtrlMessage& message) = 0;
};

// Receives every task event on the worker thread. It must return quickly and
// must not wait for the UI thread (the worker waits for it, and CancelTask
// waits for an event of the same task that is being delivered): hand a copy
// of the values over and return.
using TaskEventHandler = std::function<void(const TaskStatus& status)>;

class ConverCtrl : public BaseCtrl {
public:
    ConverCtrl();
    ~ConverCtrl() override;
    ConverCtrl(const ConverCtrl&) = delete;
    ConverCtrl& operator=(const ConverCtrl&) = delete;

    // The process-wide controller, created on first use and kept until the
    // process ends (it must outlive every worker's last event).
    static ConverCtrl& Process();

    void SetTaskEventHandler(TaskEventHandler handler);

    // Passes the status to the handler when the message carries one.
    void OnTaskEvent(const CtrlMessage& message) override;

    // Sends one event: records it, then runs it through the event base, which
    // calls OnTaskEvent on this thread before Notify returns. False (with a
    // line on standard error) when the event could not be created or added;
    // that event is lost.
    bool Notify(int code, const TaskStatus& status);

private:
    static void Callback(int fd, short events, void* arg);

    event_base* m_base = nullptr;
    std::mutex m_mutex;
    CtrlMessage m_message;  // the one-slot record of the event being sent
    TaskEventHandler m_handler;
};

}  // namespace kelsor
