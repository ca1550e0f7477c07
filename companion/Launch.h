#pragma once

#include <string>
#include <vector>

// Starting programs for the converter flow (posix_spawn, waitpid). A small
// seam of its own until the platform's process layer takes it over.
namespace kelsor::companion {

// Splits an installer command line into arguments: white space separates,
// double quotes group (and are dropped), as a Windows command line does.
std::vector<std::wstring> SplitParameters(const std::wstring& parameters);

// True when `path` names an existing regular file.
bool IsRegularFile(const std::wstring& path);

// Starts `program` with `arguments` and returns at once; the child is reaped
// in the background. False when it could not be started.
bool StartProgram(const std::wstring& program, const std::vector<std::wstring>& arguments);

// Starts `program` hidden (no terminal: standard input, output and error on
// /dev/null) and waits for it without a time limit. True when it started,
// whatever its exit status.
bool RunHiddenAndWait(const std::wstring& program, const std::vector<std::wstring>& arguments);

}  // namespace kelsor::companion
