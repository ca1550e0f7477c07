#pragma once

#include <string>
#include <vector>

// Small helpers of the converter flow.
namespace kelsor::companion {

// Splits an installer command line into arguments: white space separates,
// double quotes group (and are dropped), as a Windows command line does.
std::vector<std::wstring> SplitParameters(const std::wstring& parameters);

// True when `path` names an existing regular file.
bool IsRegularFile(const std::wstring& path);

}  // namespace kelsor::companion
