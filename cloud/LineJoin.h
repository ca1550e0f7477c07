#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// How recognised lines run together when the user chose "编辑优先": Chinese
// and Japanese lines touch, Latin words keep a space between them, and a
// word broken by a hyphen at the end of a line is made whole again. Where
// the lines' places on the page show a paragraph end, the paragraphs stay
// apart.
namespace kelsor {

// Joins `lines` (text in the process code page) for EditPriority. Empty lines
// add nothing. Where a line ending in a Latin letter or digit meets one
// starting with one, a single space goes between them; a line ending in a
// hyphen after a letter, followed by a lower-case letter, loses the hyphen.
// Everything else (CJK, punctuation, blanks already there) touches as is.
std::string JoinEditLines(const std::vector<std::string>& lines);

// A recognised line and, when the service gave it, the box it was read from:
// corners top-left, top-right, bottom-right, bottom-left in picture pixels.
struct PlacedLine {
    std::string words;
    bool placed = false;
    std::array<std::array<double, 2>, 4> location{};
};

// For each line of `lines` (in reading order): whether a new paragraph
// starts with it. The first line starts none. A paragraph ends where the
// next line follows after a gap clearly larger than the line spacing, where
// the next line is indented against its column's left edge, or where a line
// stops short of its column's right edge by more than the next line's first
// word. Lines without a box, and parts of one row, continue the paragraph.
// On a page of vertical text (most boxes tall) the same holds for its
// columns, read right to left: a column starting lower than the others, or
// ending short of them, or far from the last, starts or ends a paragraph,
// and a line across the page (a title) stands alone.
std::vector<bool> ParagraphStarts(const std::vector<PlacedLine>& lines);

// The lines joined for EditPriority: each paragraph by JoinEditLines, CR LF
// between paragraphs.
std::string JoinEditParagraphs(const std::vector<PlacedLine>& lines);

}  // namespace kelsor
