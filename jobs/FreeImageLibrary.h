#pragma once
// FreeImage is loaded with the first picture rather than with the program:
// the functions of FreeImage.h are stubs (generated from the header at build
// time) that look the real function up here on their first call.

namespace kelsor {

// The library's function `name`; loads the library on the first call. A
// missing library or function ends the program with a message saying which,
// as the loader would have at start-up had the program linked it.
void* FreeImageSymbol(const char* name);

}  // namespace kelsor
