#pragma once

#include <string>
#include <vector>

#include "cloud/LineJoin.h"

// The general-text recognition road: request through the process-wide token
// client, then the reply envelope turned into text.
namespace kelsor {

// Recognises the picture reference (process code page) and returns its text
// joined by `formatType`; empty on any failure.
std::string OcrGeneralText(int formatType, const std::string& pictureRef);

// Appends the words of a successful reply envelope to `text` (CR LF between
// lines for FormatPriority, otherwise paragraphs run together by
// JoinEditParagraphs from each block's `location`). False, `text` untouched,
// when the envelope is not JSON or its status is not 200.
bool ParseGeneralTextReply(int formatType, std::string& text, const std::string& envelope);

// The lines of a successful reply envelope in the order given, each with its
// box when the block carries a valid `location`. False, `lines` untouched,
// when the envelope is not JSON or its status is not 200.
bool ParseGeneralTextLines(std::vector<PlacedLine>& lines, const std::string& envelope);

}  // namespace kelsor
