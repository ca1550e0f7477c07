#pragma once

#include <cstddef>

namespace kelsor::skin {

// The skin archive compiled into the program.
const unsigned char* ArchiveData();
std::size_t ArchiveSize();

// Hands the archive to the UI layer; false if it cannot be read.
bool Install();

}  // namespace kelsor::skin
