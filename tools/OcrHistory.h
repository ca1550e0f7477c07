#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kelsor::tools {

// kelsor-ocr --history: the history's entries holding every one of `words`
// (code-page text), newest first, one a line on `out`; the latest 20 when
// there are no words. An OcrExit code: 0 when something was listed, 1 when
// nothing was found or the history cannot be read (said on `err`).
int ListHistory(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

}  // namespace kelsor::tools
