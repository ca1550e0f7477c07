#pragma once

#include <string>

#include "TempFolder.h"

// Helpers shared by the companion tests.
namespace kelsor::test {

bool IsExecutable(const std::string& path);
// Waits (bounded, generously) until `path` exists; true when it does.
bool WaitForFile(const std::string& path);

// Points the registry layer at its own folder for the test's lifetime.
class ScopedRegistry {
public:
    ScopedRegistry();
    ~ScopedRegistry();
    const TempFolder& folder() const { return m_folder; }

private:
    TempFolder m_folder;
};

}  // namespace kelsor::test
