#include "jobs/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "app/TextConv.h"

namespace kelsor {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr OpenFile(const std::wstring& path, const char* mode) {
    if (path.empty()) {
        return nullptr;
    }
    const std::string narrow = WideToAnsi(path);
    if (narrow.empty()) {
        return nullptr;
    }
    return FilePtr(std::fopen(narrow.c_str(), mode));
}

// Opens a regular file for reading. A FIFO, device or socket named like a
// picture is refused: a plain open of a FIFO waits for a writer for ever,
// and a device may never end.
FilePtr OpenRegularFileForReading(const std::wstring& path, struct stat* identity = nullptr) {
    const std::string narrow = path.empty() ? std::string() : WideToAnsi(path);
    if (narrow.empty()) {
        return nullptr;
    }
    const int fd = ::open(narrow.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    std::FILE* file = nullptr;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (file = ::fdopen(fd, "rb")) == nullptr) {
        ::close(fd);
        return nullptr;
    }
    if (identity != nullptr) {
        *identity = st;
    }
    return FilePtr(file);
}

}  // namespace

ReadResult ReadFileBytes(const std::wstring& path, std::size_t maxBytes,
                         std::vector<std::uint8_t>& bytes, struct stat* identity) {
    bytes.clear();
    FilePtr file = OpenRegularFileForReading(path, identity);
    if (!file) {
        return ReadResult::CannotOpen;
    }
    // Read in blocks rather than trusting a size from fseek: a file that
    // grows while read ends at EOF or at the limit.
    std::uint8_t block[64 * 1024];
    for (;;) {
        const std::size_t got = std::fread(block, 1, sizeof block, file.get());
        if (got == 0) {
            break;
        }
        if (bytes.size() + got > maxBytes) {
            bytes.clear();
            return ReadResult::TooLarge;
        }
        bytes.insert(bytes.end(), block, block + got);
    }
    if (std::ferror(file.get())) {
        bytes.clear();
        return ReadResult::CannotOpen;
    }
    return ReadResult::Ok;
}

bool ReadFilePrefix(const std::wstring& path, std::size_t count, std::vector<std::uint8_t>& bytes) {
    bytes.assign(count, 0);
    FilePtr file = OpenRegularFileForReading(path);
    if (!file) {
        bytes.clear();
        return false;
    }
    bytes.resize(std::fread(bytes.data(), 1, count, file.get()));
    return true;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    FilePtr file = OpenFile(path, "wb");
    if (!file) {
        return false;
    }
    const bool written =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    // fclose flushes: a full disk shows up here, not in fwrite.
    return std::fclose(file.release()) == 0 && written;
}

bool RemoveFile(const std::wstring& path) {
    if (path.empty()) {
        return false;
    }
    const std::string narrow = WideToAnsi(path);
    return !narrow.empty() && std::remove(narrow.c_str()) == 0;
}

bool WriteResultTextFile(const std::wstring& path, std::string_view text) {
    if (text.empty()) {
        return false;
    }
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            bytes += '\r';
        }
        bytes += text[i];
    }
    return WriteFileBytes(path, bytes);
}

}  // namespace kelsor
