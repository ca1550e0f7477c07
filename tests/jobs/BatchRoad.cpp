#include "BatchRoad.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "TestPictures.h"
#include "app/AppContext.h"
#include "jobs/BatchFileItem.h"
#include "jobs/ConvertTaskMgr.h"

namespace kelsor::test {

std::string ThroughTheBatchRunner(const std::wstring& picture, const std::wstring& folder,
                                  const RecognizeFunction& recognize) {
    ConverCtrl ctrl;
    std::mutex mutex;
    std::condition_variable cv;
    int state = 0;
    ctrl.SetTaskEventHandler([&](const TaskStatus& status) {
        if (status.state == Succeeded || status.state == Failed) {
            std::lock_guard lock(mutex);
            state = status.state;
            cv.notify_all();
        }
    });
    BatchFileItem item;
    item.id = 1;
    item.fileName = L"line.png";
    item.sourcePath = picture;
    App().dataFolder = folder;
    App().useCustomOutputFolder = 0;
    BatchSourceFolder() = folder;
    // A controller of the test's own.
    ConvertTaskMgr mgr(recognize, &ctrl);
    mgr.AddTask(item);
    std::unique_lock lock(mutex);
    if (!cv.wait_for(lock, std::chrono::minutes(3), [&] { return state != 0; }))
        return "(no end)";
    return state == Succeeded ? ReadBytes(item.outputPath) : std::string();
}

}  // namespace kelsor::test
