#pragma once

#include <string>

namespace kelsor::server {

// Removes the spaces the recogniser puts between two CJK characters (CJK
// ideographs, kana, hangul, CJK and full-width punctuation); spaces next to
// Latin text stay. UTF-8 in and out.
std::string RemoveSpacesBetweenCjk(const std::string& text);

}  // namespace kelsor::server
