#pragma once

#include <cstdio>

// The program's start-up sequence, kept out of main() so it can be tested.
namespace kelsor {

// Runs KelsorOCR: locale and code page, libcurl's global set-up, the
// single-instance guard (a second start hands message 2125 to the running
// instance and returns 0), then the application context. Until the main
// window exists it reports the context on `out` and, when KELSOR_HOLD_SECONDS
// is set, keeps running that long to answer later starts. Returns the
// process exit code (0 in every case).
int RunKelsorOCR(std::FILE* out);

}  // namespace kelsor
