#pragma once

#include <string>

// Private-profile INI files ("[section]" lines and "key=value" lines, text in
// the process code page). Section and key names match without regard to
// case; surrounding blanks and one pair of matching quotes around a value are
// not part of it.
namespace kelsor::platform {

// The value of `key` in `section` of the file at `path`. `defaultValue` when
// the file, the section or the key is missing; an empty value stays empty.
std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, const std::wstring& path);

// Sets `key` in `section` to `value`, adding the section or the key when
// missing and creating the file when it does not exist. The file is replaced
// as a whole, so a failed write (false) leaves the old file as it was.
bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::wstring& path);

}  // namespace kelsor::platform
