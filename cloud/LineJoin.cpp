#include "cloud/LineJoin.h"

#include "app/TextConv.h"

namespace kelsor {
namespace {

bool IsLatinLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
           (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7) ||
           (c >= 0x1E00 && c <= 0x1EFF);
}

bool IsLatinLetterOrDigit(wchar_t c) {
    return IsLatinLetter(c) || (c >= L'0' && c <= L'9');
}

// Lower-case Latin letters of ASCII and Latin-1; enough for the word that
// continues after a hyphen in the languages the service reads.
bool IsLowerLatin(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= 0x00DF && c <= 0x00FF && c != 0x00F7);
}

// The hyphen as the service returns it: ASCII, a single byte in every code
// page the program runs under, so it can be cut from the narrow text.
constexpr wchar_t kHyphen = L'-';

enum class Seam { Touch, Space, DropHyphen };

Seam SeamBetween(const std::wstring& before, const std::wstring& after) {
    if (before.empty() || after.empty()) {
        return Seam::Touch;
    }
    const wchar_t last = before.back();
    const wchar_t first = after.front();
    if (last == kHyphen && before.size() >= 2 && IsLatinLetter(before[before.size() - 2]) &&
        IsLowerLatin(first)) {
        return Seam::DropHyphen;
    }
    return IsLatinLetterOrDigit(last) && IsLatinLetterOrDigit(first) ? Seam::Space : Seam::Touch;
}

}  // namespace

std::string JoinEditLines(const std::vector<std::string>& lines) {
    std::string text;
    // Each line is decoded once: a code page such as GBK cannot be read
    // backwards from the end of the joined text.
    std::wstring previous;
    for (const std::string& line : lines) {
        if (line.empty()) {
            continue;
        }
        std::wstring wide = AnsiToWide(line);
        switch (SeamBetween(previous, wide)) {
            case Seam::Space:
                text += ' ';
                break;
            case Seam::DropHyphen:
                text.pop_back();
                break;
            case Seam::Touch:
                break;
        }
        text += line;
        previous = std::move(wide);
    }
    return text;
}

}  // namespace kelsor
