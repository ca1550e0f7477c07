#pragma once

#include <filesystem>
#include <string>

// A fresh folder under /tmp, removed with its content at the end.
namespace kelsor::testing {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/kelsor-test-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

}  // namespace kelsor::testing
