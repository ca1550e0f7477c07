#include "pdf/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>

namespace kelsor::pdf {
namespace {

// `path` after its symbolic links, as far as they lead.
std::string Resolved(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return QFile::encodeName(info.filePath()).toStdString();
}

// Nothing at `path` (errno ENOENT), or a regular file there.
bool RegularOrAbsent(const std::string& path, bool& absent) {
    struct stat info {};
    absent = false;
    if (::lstat(path.c_str(), &info) == 0)
        return S_ISREG(info.st_mode);
    absent = errno == ENOENT;
    return absent;
}

}  // namespace

bool TakesWholeFile(const QString& path) {
    bool absent = false;
    return RegularOrAbsent(Resolved(path), absent);
}

WholeFile::WholeFile(const QString& target) : m_target(Resolved(target)) {}

WholeFile::~WholeFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

bool WholeFile::Open() {
    bool absent = false;
    if (!RegularOrAbsent(m_target, absent))
        return false;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        const std::string name =
            m_target + "." + std::to_string(QRandomGenerator::global()->generate() % 1000000000);
        // Created as any new file is (the umask applies).
        m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            m_temporary = name;
        else if (errno != EEXIST)
            return false;
    }
    struct stat info {};
    // A file replaced keeps its permissions.
    if (m_fd >= 0 && !absent && ::stat(m_target.c_str(), &info) == 0)
        ::fchmod(m_fd, info.st_mode & 07777);
    return m_fd >= 0;
}

void WholeFile::Write(const char* data, std::size_t size) {
    while (!m_failed && size > 0) {
        const ssize_t written = ::write(m_fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_failed = true;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

bool WholeFile::Commit() {
    if (m_fd < 0 || m_failed || ::fsync(m_fd) != 0)
        return false;
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0)
        return false;
    // Looked at again at the last moment; a name that is free goes only to
    // a file that does not take it meanwhile.
    bool absent = false;
    if (!RegularOrAbsent(m_target, absent))
        return false;
    int renamed = -1;
    if (absent) {
        renamed = ::renameat2(AT_FDCWD, m_temporary.c_str(), AT_FDCWD, m_target.c_str(),
                              RENAME_NOREPLACE);
        // A file system that cannot promise it.
        if (renamed != 0 && errno == EINVAL)
            renamed = ::rename(m_temporary.c_str(), m_target.c_str());
    } else {
        renamed = ::rename(m_temporary.c_str(), m_target.c_str());
    }
    if (renamed != 0)
        return false;
    m_temporary.clear();
    return true;
}

}  // namespace kelsor::pdf
