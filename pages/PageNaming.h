#pragma once

#include <ctime>
#include <string>

#include "jobs/BatchFileItem.h"

// File names of the single-picture page: where a picture's folder ends and
// what its result file is called.
namespace kelsor::jobs {

using kelsor::FolderOfPath;

// The file name after the last "/" without its last extension:
// "/scan/a.b.c.jpg" gives "a.b.c"; a name without a dot is kept whole.
std::wstring BaseNameOfPath(const std::wstring& path);

// The result file of recognising `picture`: the custom folder when it is in
// use, otherwise the picture's own folder, then the base name and ".txt".
std::wstring ResultPathFor(const std::wstring& picture, bool useCustomFolder,
                           const std::wstring& customFolder);

// The screen page's result name for a local time: "%Y-%m-%d_%H-%M-%S.txt".
std::wstring TimeStampedResultName(const std::tm& local);

// Where the screen page writes its results: the custom folder when it is in
// use, otherwise the desktop folder. A folder that is not known (empty or
// not absolute) gives way to the next one and finally to `homeFolder`, so a
// result never lands relative to the working folder. Ends with "/".
std::wstring ScreenResultFolder(bool useCustomFolder, const std::wstring& customFolder,
                                const std::wstring& desktopFolder, const std::wstring& homeFolder);

}  // namespace kelsor::jobs
