#pragma once

#include <string>
#include <string_view>

// Text conversion between the program's wide strings and narrow strings in
// the process-wide code page (see platform/sys/CodePage.h).
namespace kelsor {

// Wide text -> code page; characters the code page lacks become '?'.
std::string WideToAnsi(std::wstring_view text);
// Code page -> wide text; one leading U+FEFF is dropped.
std::wstring AnsiToWide(std::string_view bytes);
// UTF-8 -> code page through wide text (used for cloud replies).
std::string Utf8ToAnsi(std::string_view bytes);
// Code page -> UTF-8.
std::string AnsiToUtf8(std::string_view bytes);

}  // namespace kelsor
