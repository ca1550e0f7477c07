#include "platform/sys/LazyLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace kelsor::platform {
namespace {

[[noreturn]] void Fail(const char* soname, const char* what) {
    const char* reason = dlerror();
    std::fprintf(stderr, "KelsorOCR: the library %s %s%s%s\n", soname, what,
                 reason != nullptr ? ": " : "", reason != nullptr ? reason : "");
    std::abort();
}

}  // namespace

void* LoadLibraryOrExit(const char* soname) {
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        Fail(soname, "cannot be loaded");
    return library;
}

void* LibrarySymbolOrExit(void* library, const char* soname, const char* name) {
    void* symbol = dlsym(library, name);
    if (symbol == nullptr)
        Fail(soname, "lacks a function");
    return symbol;
}

}  // namespace kelsor::platform
