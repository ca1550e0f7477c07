#pragma once

#include <QString>
#include <cstddef>
#include <string>

// A file written beside its target and put in the target's place only once
// it is whole. Only a regular file is ever replaced: a device, FIFO or socket
// under the target's name stays as it is, even when it appears while the
// file is written. A symbolic link's target is what gets replaced.
namespace kelsor::pdf {

// Whether `path` may be written with WholeFile: nothing is there yet, or a
// regular file (after symbolic links).
bool TakesWholeFile(const QString& path);

class WholeFile {
public:
    explicit WholeFile(const QString& target);
    // An unfinished file is removed.
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    // Makes the new file beside the target; false when the folder cannot be
    // written or the target is no regular file.
    bool Open();
    void Write(const char* data, std::size_t size);
    // Puts the file in the target's place; false, with nothing replaced,
    // when it could not be written whole or the target is no longer a regular
    // file.
    bool Commit();

private:
    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    bool m_failed = false;
};

}  // namespace kelsor::pdf
