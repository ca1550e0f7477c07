#pragma once

#include <atomic>
#include <string>

#include "cloud/RecognizePictureText.h"
#include "jobs/TaskStatus.h"

// The batch record of one listed picture. The batch page creates and owns it
// (the store comes with the batch list); the task runner fills in the output
// names when the item is queued and moves its state to Queued and Running.
namespace kelsor {

struct BatchFileItem {
    int id = 0;
    std::wstring fileName;  // name with extension, without folder
    std::wstring sourcePath;
    std::wstring tempPicturePath;  // written when queued
    std::wstring outputPath;       // written when queued
    std::wstring sizeText = L"0M";
    std::wstring dimensionsText;      // "%d*%d"
    int formatType = FormatPriority;  // copied from the current choice when queued
    // TaskState. Written by the runner's worker (Running) while the UI thread
    // reads it, hence atomic.
    std::atomic<int> state{TaskNone};
    bool shown = false;
    int listElementTag = 0;  // identifies the item's row; handed back with every event
    int taskKey = 0;
};

// The folder into which batch results go while the output option is the source
// folder: the folder of the pictures added last, ending with "/". Set by the
// batch page, read when a task is queued; both on the UI thread.
std::wstring& BatchSourceFolder();

}  // namespace kelsor
