#include <cstring>
#include <iostream>

#include "shell/ProgramMain.h"

// KelsorOCR takes no arguments but two: one saves a session for the next
// start, the other starts a capture in the running client or a new one (see
// README.md).
int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--write-session") == 0)
        return kelsor::shell::WriteSessionFromInput(std::cin);
    const bool capture = argc == 2 && std::strcmp(argv[1], "--capture") == 0;
    return kelsor::shell::RunKelsorOCR(argc, argv, capture);
}
