#include <cstring>
#include <iostream>

#include "shell/ProgramMain.h"

// KelsorOCR takes no arguments; the one exception saves a session for the
// next start (see README.md).
int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--write-session") == 0)
        return kelsor::shell::WriteSessionFromInput(std::cin);
    return kelsor::shell::RunKelsorOCR(argc, argv);
}
