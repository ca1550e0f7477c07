#include "app/TextConv.h"

#include "platform/sys/CodePage.h"

namespace kelsor {

std::string WideToAnsi(std::wstring_view text) {
    return platform::WideToCodePage(text, platform::CodePage());
}

std::wstring AnsiToWide(std::string_view bytes) {
    std::wstring wide = platform::CodePageToWide(bytes, platform::CodePage());
    if (!wide.empty() && wide.front() == L'\xFEFF') {
        wide.erase(0, 1);
    }
    return wide;
}

std::string Utf8ToAnsi(std::string_view bytes) {
    return platform::WideToCodePage(platform::Utf8ToWide(bytes), platform::CodePage());
}

std::string AnsiToUtf8(std::string_view bytes) {
    return platform::WideToUtf8(platform::CodePageToWide(bytes, platform::CodePage()));
}

}  // namespace kelsor
