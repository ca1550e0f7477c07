// libFuzzer target over what the converter's page process does with a file:
// opening it and reading its first pages, each its text layer or else its
// picture within the render bounds.
//
// In the converter an allocation beyond the page process's memory limit ends
// that process and costs one page. The target keeps the same bound: it runs
// in fork mode with kPageMemoryBytes as its allocation limit, so that such
// an input is counted as out of memory and fuzzing goes on, while a crash or
// a sanitizer report stops it as a finding.
//
// Build and run: scripts/fuzz.sh pdf_page_fuzzer [seconds].
#include <unistd.h>

#include <QGuiApplication>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pdf/PageProcess.h"
#include "pdf/PdfFile.h"

namespace {

// Pages read per input: the first ones are where a file's trouble shows.
constexpr int kPagesRead = 3;

bool Given(const std::vector<std::string>& arguments, const char* prefix) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [&](const std::string& a) { return a.rfind(prefix, 0) == 0; });
}

const std::string& InputPath() {
    // Shared memory keeps the many small writes off the disk.
    static const std::string path =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") + "kelsor-fuzz-" +
        std::to_string(getpid()) + ".pdf";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<std::string> arguments(*argv, *argv + *argc);
    // A run of the corpus (-runs=), a merge and the jobs of fork mode itself
    // (-stop_file=) are left as they are.
    const bool plainRun = !Given(arguments, "-runs=") && !Given(arguments, "-fork=") &&
                          !Given(arguments, "-merge") && !Given(arguments, "-stop_file=") &&
                          !Given(arguments, "-minimize_crash");
    if (plainRun) {
        arguments.insert(arguments.begin() + 1, "-fork=1");
        arguments.insert(arguments.begin() + 1,
                         "-malloc_limit_mb=" + std::to_string(kelsor::pdf::kPageMemoryBytes >> 20));
    }
    static std::vector<char*> pointers;
    for (std::string& a : arguments)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(arguments.size());
    *argv = pointers.data();
    // Poppler's painter draws text with Qt's fonts, as in the page process.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static QGuiApplication application(qtArgc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(InputPath().c_str(), "wb");
    if (f == nullptr)
        return 0;
    if (size > 0)
        std::fwrite(data, 1, size, f);
    std::fclose(f);

    kelsor::pdf::PdfFile file;
    if (file.Open(QString::fromStdString(InputPath())) != kelsor::pdf::PdfFailure::None)
        return 0;
    const int pages = std::min(file.PageCount(), kPagesRead);
    for (int index = 0; index < pages; ++index) {
        const kelsor::pdf::PageContent content = file.ReadPage(index);
        // A picture never passes the render bounds.
        if (content.picture.width() > kelsor::pdf::kMaxRenderSide + 1 ||
            content.picture.height() > kelsor::pdf::kMaxRenderSide + 1)
            __builtin_trap();
    }
    return 0;
}
