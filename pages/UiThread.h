#pragma once

#include <functional>

// Running work of a worker thread on the UI thread.
namespace kelsor::jobs {

// Runs `work` on the UI thread and waits for it to finish; on the UI thread
// itself it runs at once. Returns false (and runs nothing) when there is no
// application object any more, as at the very end of the process.
bool RunOnUiThread(const std::function<void()>& work);

}  // namespace kelsor::jobs
