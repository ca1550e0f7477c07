#pragma once

#include <string>
#include <vector>

#include "cloud/LineJoin.h"
#include "jobs/PictureCodes.h"

// The codes of a picture among its recognised lines: each code is one line
// of its own, "[二维码] payload" for a 2-D code and "[条形码] payload" for a
// 1-D code, at its place in the reading order.
namespace kelsor {

// A picture's lines, text and codes, in reading order.
struct PictureLines {
    std::vector<PlacedLine> lines;
    std::vector<bool> isCode;  // one for each line
};

// The line a code becomes, in the process code page. The payload is kept as
// encoded; only its line breaks become CR LF, as in the rest of the text, and
// control characters that would cut or garble the text (NUL, escape ...)
// show as "?".
std::string CodeLineWords(const FoundCode& code);

// `codes` put among the recognised `lines` (in reading order): a code goes
// after the last line that a reader meets before it (a line above it in its
// column, or to its left starting above its bottom); the codes go last when
// no line has a place. A code line's box is a band across the middle of its
// code, as high as a line of its text would be. Lines read from a code's own ink (its modules, a
// barcode's printed digits) are left out: the code line says it exactly.
PictureLines PlaceCodes(const std::vector<PlacedLine>& lines, const std::vector<FoundCode>& codes);

// Lines as ReadServicePictureLines gives them, the codes' lines told apart
// by the marker they start with ("[二维码] ", "[条形码] ").
PictureLines MarkCodeLines(std::vector<PlacedLine> lines);

// The lines joined as JoinRecognisedLines joins them, except that a code
// line always stands alone: in EditPriority the text on either side is
// joined on its own and never runs into a payload.
std::string JoinPictureLines(int formatType, const PictureLines& lines);

// The codes of a picture file (its bytes), and whether it shows anything
// besides them; no codes when the bytes do not decode. A picture beyond
// kCodeScanMaxSide is scanned on a smaller copy; the places are the file's.
struct CodeScan {
    std::vector<FoundCode> codes;
    bool onlyCodes = false;
};
CodeScan ScanPictureCodes(const std::uint8_t* data, std::size_t size);

// True when `picture` shows nothing but `codes`: every pixel outside the
// codes (a barcode's printed characters count as its own) is near the
// background's grey; the codes' places in `picture`'s pixels.
bool OnlyCodesIn(const GreyImage& picture, const std::vector<FoundCode>& codes);

}  // namespace kelsor
