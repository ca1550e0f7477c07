#pragma once

#include <array>
#include <cstdint>
#include <string>

// The program's file version lives in an ELF note embedded at build time
// (section ".note.kelsor.version", owner "Kelsor", type 1, four 32-bit
// numbers: major, minor, build, revision). It is read back from a file on
// disk, so a file without the note has no version.
namespace kelsor::platform {

inline constexpr const char* kVersionNoteSection = ".note.kelsor.version";
inline constexpr const char* kVersionNoteOwner = "Kelsor";
inline constexpr std::uint32_t kVersionNoteType = 1;

using FileVersion = std::array<std::uint32_t, 4>;

// Reads the version note of the ELF file at `path` (code-page path). Returns
// false when the file cannot be read, is not ELF or carries no such note.
bool ReadFileVersion(const std::string& path, FileVersion& version);

}  // namespace kelsor::platform
