#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kelsor::tools {

// kelsor-ocr: recognises the pictures its arguments name with the desktop
// client's saved session and recognition road, and prints their text to
// `out` or writes their .txt files; progress and failures go to `err`.
// Returns an OcrExit code.
int RunOcr(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace kelsor::tools
