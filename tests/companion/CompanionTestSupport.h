#pragma once

#include <string>

#include "ScopedRegistry.h"
#include "TempFolder.h"

// Helpers shared by the companion tests.
namespace kelsor::test {

bool IsExecutable(const std::string& path);
// Waits (bounded, generously) until `path` exists; true when it does.
bool WaitForFile(const std::string& path);

}  // namespace kelsor::test
