// kelsor-ocr: recognises pictures from the command line (see OcrProgram.h).
#include <fcntl.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>

#include "app/HttpTransfer.h"
#include "tools/OcrProgram.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // Standard output carries the recognised text only. The cloud client
    // writes its diagnostic lines there, so the text gets a descriptor of its
    // own and descriptor 1 goes to /dev/null.
    const int textFd = ::dup(STDOUT_FILENO);
    const int nullFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::FILE* text = textFd >= 0 ? ::fdopen(textFd, "w") : nullptr;
    if (text == nullptr || nullFd < 0 || ::dup2(nullFd, STDOUT_FILENO) < 0) {
        std::fputs("kelsor-ocr: cannot set up standard output\n", stderr);
        return 1;
    }
    ::close(nullFd);
    kelsor::InitHttpGlobal();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const int status = kelsor::tools::RunOcr(arguments, text, stderr);
    if (std::fclose(text) != 0) {
        std::perror("kelsor-ocr: standard output");
        return 1;
    }
    return status;
}
