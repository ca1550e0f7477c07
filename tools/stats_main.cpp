// KelsorOCRStats: records the event its switch names and reports it.
#include <clocale>

#include "app/HttpTransfer.h"
#include "app/TextConv.h"
#include "tools/StatsProgram.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    kelsor::InitHttpGlobal();
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(kelsor::AnsiToWide(argv[i]));
    return kelsor::tools::RunStats(arguments);
}
