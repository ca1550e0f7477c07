#include "jobs/FreeImageLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace kelsor {
namespace {

constexpr const char* kLibrary = "libfreeimage.so.3";

[[noreturn]] void Fail(const char* what) {
    const char* reason = dlerror();
    std::fprintf(stderr, "KelsorOCR: the picture library %s %s%s%s\n", kLibrary, what,
                 reason != nullptr ? ": " : "", reason != nullptr ? reason : "");
    std::abort();
}

}  // namespace

void* FreeImageSymbol(const char* name) {
    // Local: its functions are found only through this handle.
    static void* const library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        Fail("cannot be loaded");
    }
    void* symbol = dlsym(library, name);
    if (symbol == nullptr) {
        Fail("lacks a function");
    }
    return symbol;
}

}  // namespace kelsor
