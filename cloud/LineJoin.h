#pragma once

#include <string>
#include <string_view>
#include <vector>

// How recognised lines run together when the user chose "编辑优先": Chinese
// and Japanese lines touch, Latin words keep a space between them, and a
// word broken by a hyphen at the end of a line is made whole again.
namespace kelsor {

// Joins `lines` (text in the process code page) for EditPriority. Empty lines
// add nothing. Where a line ending in a Latin letter or digit meets one
// starting with one, a single space goes between them; a line ending in a
// hyphen after a letter, followed by a lower-case letter, loses the hyphen.
// Everything else (CJK, punctuation, blanks already there) touches as is.
std::string JoinEditLines(const std::vector<std::string>& lines);

}  // namespace kelsor
