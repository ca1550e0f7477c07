#include "jobs/FreeImageLibrary.h"

#include "platform/sys/LazyLibrary.h"

namespace kelsor {

void* FreeImageSymbol(const char* name) {
    static constexpr const char* kLibrary = "libfreeimage.so.3";
    static void* const library = platform::LoadLibraryOrExit(kLibrary);
    return platform::LibrarySymbolOrExit(library, kLibrary, name);
}

}  // namespace kelsor
