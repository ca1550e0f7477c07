// KelsorOCRUpdate: tells the user about a newer version and fetches it.
#include "tools/UpdaterProgram.h"

int main(int argc, char** argv) {
    return kelsor::tools::RunUpdater(argc, argv);
}
