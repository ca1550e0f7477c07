#pragma once

// Libraries the program loads when it first needs them rather than at start
// (the picture library, the HTTP library): their functions are stubs that
// look the real function up here on their first call.
namespace kelsor::platform {

// The library `soname`, loaded on the first call (RTLD_LOCAL: its functions
// are found only through the handle). A library that cannot be loaded ends
// the program with a message saying which, as the loader would have at
// start-up had the program linked it.
void* LoadLibraryOrExit(const char* soname);

// The function `name` of the library loaded as `soname`; ends the program
// the same way when the library lacks it.
void* LibrarySymbolOrExit(void* library, const char* soname, const char* name);

}  // namespace kelsor::platform
