// kelsor-ocr: recognises pictures and PDFs from the command line (see
// tools/OcrProgram.h and cli/OcrPdfDocuments.h).
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/HttpTransfer.h"
#include "cli/OcrPdfDocuments.h"
#include "pdf/PageProcess.h"
#include "tools/OcrProgram.h"

int main(int argc, char** argv) {
    // PDF pages are read by this program again, in a process of their own.
    if (argc > 1 && std::strcmp(argv[1], kelsor::pdf::kPageWorkerOption) == 0) {
        return kelsor::pdf::RunPageWorker(argc, argv);
    }
    std::setlocale(LC_ALL, "");
    // A picture whose file names no resolution reads as 96 dpi.
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
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
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    kelsor::cli::OcrPdfDocuments documents(
        {QString::fromStdString(error ? std::string(argv[0]) : self.string())});
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const int status = kelsor::tools::RunOcr(arguments, text, stderr, &documents);
    if (std::fclose(text) != 0) {
        std::perror("kelsor-ocr: standard output");
        return 1;
    }
    return status;
}
