#include "platform/sys/FileVersion.h"

#include <elf.h>

#include <bit>
#include <cstring>
#include <fstream>
#include <vector>

namespace kelsor::platform {
namespace {

// Reads `size` bytes at `offset`; false when the file is shorter.
bool ReadAt(std::ifstream& file, std::uint64_t offset, void* out, std::uint64_t size) {
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    if (!file) {
        return false;
    }
    file.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
    return static_cast<std::uint64_t>(file.gcount()) == size;
}

std::uint32_t Align4(std::uint32_t n) {
    return (n + 3u) & ~3u;
}

// Walks the notes of one SHT_NOTE section's bytes.
bool FindVersionNote(const std::vector<char>& notes, FileVersion& version) {
    const size_t ownerLen = std::strlen(kVersionNoteOwner) + 1;
    size_t pos = 0;
    while (pos + 12 <= notes.size()) {
        std::uint32_t nameSize, descSize, type;
        std::memcpy(&nameSize, notes.data() + pos, 4);
        std::memcpy(&descSize, notes.data() + pos + 4, 4);
        std::memcpy(&type, notes.data() + pos + 8, 4);
        pos += 12;
        size_t namePos = pos;
        size_t descPos = namePos + Align4(nameSize);
        size_t next = descPos + Align4(descSize);
        if (Align4(nameSize) < nameSize || Align4(descSize) < descSize || next > notes.size()) {
            return false;
        }
        if (type == kVersionNoteType && nameSize == ownerLen &&
            std::memcmp(notes.data() + namePos, kVersionNoteOwner, ownerLen) == 0 &&
            descSize == sizeof(FileVersion)) {
            std::memcpy(version.data(), notes.data() + descPos, sizeof(FileVersion));
            return true;
        }
        pos = next;
    }
    return false;
}

template <typename Ehdr, typename Shdr>
bool ScanSections(std::ifstream& file, std::uint64_t fileSize, FileVersion& version) {
    Ehdr header;
    if (!ReadAt(file, 0, &header, sizeof(header))) {
        return false;
    }
    if (header.e_shoff == 0 || header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0) {
        return false;
    }
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Shdr section;
        if (!ReadAt(file, header.e_shoff + std::uint64_t(i) * sizeof(Shdr), &section,
                    sizeof(section))) {
            return false;
        }
        if (section.sh_type != SHT_NOTE || section.sh_size == 0 || section.sh_offset > fileSize ||
            section.sh_size > fileSize - section.sh_offset) {
            continue;
        }
        std::vector<char> notes(section.sh_size);
        if (ReadAt(file, section.sh_offset, notes.data(), notes.size()) &&
            FindVersionNote(notes, version)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ReadFileVersion(const std::string& path, FileVersion& version) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    file.seekg(0, std::ios::end);
    const auto end = file.tellg();
    if (end <= 0) {
        return false;
    }
    const std::uint64_t fileSize = static_cast<std::uint64_t>(end);
    unsigned char ident[EI_NIDENT];
    if (!ReadAt(file, 0, ident, sizeof(ident)) || std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
        return false;
    }
    // Only files in this machine's byte order: the note numbers are stored raw.
    const unsigned char hostOrder =
        std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
    if (ident[EI_DATA] != hostOrder) {
        return false;
    }
    if (ident[EI_CLASS] == ELFCLASS64) {
        return ScanSections<Elf64_Ehdr, Elf64_Shdr>(file, fileSize, version);
    }
    if (ident[EI_CLASS] == ELFCLASS32) {
        return ScanSections<Elf32_Ehdr, Elf32_Shdr>(file, fileSize, version);
    }
    return false;
}

}  // namespace kelsor::platform
