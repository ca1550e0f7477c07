#include "companion/CommandLine.h"

#include <sys/stat.h>

#include "app/TextConv.h"

namespace kelsor::companion {

std::vector<std::wstring> SplitParameters(const std::wstring& parameters) {
    std::vector<std::wstring> arguments;
    std::wstring current;
    bool inQuotes = false;
    bool haveArgument = false;
    for (wchar_t c : parameters) {
        if (c == L'"') {
            inQuotes = !inQuotes;
            haveArgument = true;  // "" is an empty argument
        } else if (!inQuotes && (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n')) {
            if (haveArgument) {
                arguments.push_back(std::move(current));
                current.clear();
                haveArgument = false;
            }
        } else {
            current += c;
            haveArgument = true;
        }
    }
    if (haveArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

bool IsRegularFile(const std::wstring& path) {
    struct stat info {};
    return ::stat(WideToAnsi(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace kelsor::companion
