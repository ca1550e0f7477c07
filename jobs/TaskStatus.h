#pragma once

// The task states and the status values every task event carries.
namespace kelsor {

enum TaskState : int {
    TaskNone = 0,  // status block created, task not yet prepared
    Queued = 1,
    Running = 2,
    Succeeded = 3,
    Failed = -1,
    Cancelled = 4,
};

// What a task event carries to the batch page: a copy taken when the event is
// sent, so the handler reads stable values whatever the task's threads do next.
struct TaskStatus {
    int id = 0;
    int state = TaskNone;
    int progress = 1;  // 0 to 100
    int tag = 0;       // the item's list element tag
};

}  // namespace kelsor
