#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Whole-file reads and writes for the jobs subsystem. Every path is a wide
// string that is opened under its name in the process code page, like every
// other file the program touches. Reads take regular files only: a FIFO,
// device or socket cannot be opened (it could block or never end).
namespace kelsor {

enum class ReadResult {
    Ok,
    CannotOpen,
    TooLarge,
};

// Reads at most `maxBytes` bytes of a regular file (opened without waiting,
// so a FIFO or device is refused, never read); a file larger than that is
// refused whole. `identity`, when given, receives the status of the file
// that was opened, so a caller can later act on that same file and not on
// whatever the name points to by then.
ReadResult ReadFileBytes(const std::wstring& path, std::size_t maxBytes,
                         std::vector<std::uint8_t>& bytes, struct stat* identity = nullptr);

// Reads the first `count` bytes (fewer when the file is shorter); false when
// the file cannot be opened.
bool ReadFilePrefix(const std::wstring& path, std::size_t count, std::vector<std::uint8_t>& bytes);

// Creates or truncates `path` and writes `bytes`; false when the file cannot be
// created or the write does not complete.
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

// Removes the file; false when there was nothing to remove or it cannot be.
bool RemoveFile(const std::wstring& path);

// Writes recognised text as a result file: code-page bytes, no byte-order
// mark, every line separator a CR LF pair (a bare LF becomes CR LF), no line
// end added after the last line. Empty text writes nothing and returns false.
bool WriteResultTextFile(const std::wstring& path, std::string_view text);

}  // namespace kelsor
