#pragma once

#include <string>

#include "platform/sys/NonCopyable.h"

// Files and folders for tests.
namespace kelsor::test {

// A fresh folder under the temporary directory, removed with everything in it.
class TempFolder : NonCopyable {
public:
    TempFolder();
    ~TempFolder();

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // The folder (or a name in it) as a wide path; the names are ASCII.
    std::wstring wide(const std::string& name = {}) const;

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
// Writes `content` (replacing the file); `mode`, when given, becomes the
// file's permission bits.
void WriteFile(const std::string& path, const std::string& content, int mode = -1);
bool FileExists(const std::string& path);
// Runs a shell command; returns its exit status (-1 when it did not exit).
int Shell(const std::string& command);
// Runs a shell command; returns what it wrote to its standard output.
std::string ShellOutput(const std::string& command);

}  // namespace kelsor::test
