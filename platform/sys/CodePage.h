#pragma once

#include <string>
#include <string_view>

// The process-wide "ANSI code page": every narrow string of the program is in
// it. It is the locale's character set (UTF-8 when the locale is C/POSIX) and
// can be set explicitly, e.g. to GBK, to prove the conversions.
namespace kelsor::platform {

// Name of the code page as iconv knows it, e.g. "UTF-8" or "GBK".
std::string CodePage();
// Sets the process-wide code page; an empty name restores the locale's.
// Returns false (and changes nothing) when iconv does not know the name.
bool SetCodePage(const std::string& name);

// Wide text to the code page. Characters the code page lacks become '?'.
std::string WideToCodePage(std::wstring_view text, const std::string& codePage);
// Code-page bytes to wide text. Invalid byte sequences become U+FFFD.
std::wstring CodePageToWide(std::string_view bytes, const std::string& codePage);

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);

}  // namespace kelsor::platform
