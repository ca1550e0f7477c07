#pragma once

#include <string>

// Helpers shared by the companion tests.
namespace kelsor::test {

// A fresh folder under /tmp, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content, int mode = 0644);
bool FileExists(const std::string& path);
bool IsExecutable(const std::string& path);
int Shell(const std::string& command);
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
