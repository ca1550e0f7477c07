#include "jobs/ConverCtrl.h"

#include <event2/event.h>

#include <cstdio>

namespace kelsor {
namespace {

// What the callback receives: the controller and its message record.
struct CallRecord {
    ConverCtrl* ctrl;
    const CtrlMessage* message;
    bool called = false;
};

}  // namespace

ConverCtrl::ConverCtrl() : m_base(event_base_new()) {}

ConverCtrl::~ConverCtrl() {
    if (m_base != nullptr) {
        event_base_free(m_base);
    }
}

ConverCtrl& ConverCtrl::Process() {
    // Never destroyed: a worker may still send while the process exits.
    static ConverCtrl* const ctrl = new ConverCtrl();
    return *ctrl;
}

void ConverCtrl::SetTaskEventHandler(TaskEventHandler handler) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

void ConverCtrl::OnTaskEvent(const CtrlMessage& message) {
    // Called inside Notify, which holds m_mutex.
    if (message.status != nullptr && m_handler) {
        m_handler(*message.status);
    }
}

void ConverCtrl::Callback(int /*fd*/, short /*events*/, void* arg) {
    if (arg == nullptr) {
        return;
    }
    auto* record = static_cast<CallRecord*>(arg);
    record->called = true;
    record->ctrl->OnTaskEvent(*record->message);
}

bool ConverCtrl::Notify(int code, const TaskStatus& status) {
    std::lock_guard lock(m_mutex);
    m_message = CtrlMessage{code, &status};
    CallRecord record{this, &m_message};
    event* ev = m_base != nullptr
                    ? event_new(m_base, -1, EV_PERSIST, &ConverCtrl::Callback, &record)
                    : nullptr;
    if (ev != nullptr && event_add(ev, nullptr) == 0) {
        // An event without descriptor or time-out: once made active, dispatch
        // runs its callback here and returns as nothing else is pending.
        event_active(ev, EV_SIGNAL, 0);
        event_base_dispatch(m_base);
        event_del(ev);
    } else {
        std::fputs("Could not create/add a signal event!\n", stderr);
    }
    if (ev != nullptr) {
        event_free(ev);
    }
    m_message = CtrlMessage{};
    return record.called;
}

}  // namespace kelsor
