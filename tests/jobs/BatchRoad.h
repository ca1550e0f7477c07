#pragma once

#include <string>

#include "jobs/ConvertTask.h"

namespace kelsor::test {

// One picture through a batch runner of its own, waited for to its end: the
// text file it wrote, empty when the task failed, "(no end)" when it did
// not end within minutes. `recognize` empty: the runner's default road. The
// task's choices (format, codes) come from App() as when queued.
std::string ThroughTheBatchRunner(const std::wstring& picture, const std::wstring& folder,
                                  const RecognizeFunction& recognize = {});

}  // namespace kelsor::test
