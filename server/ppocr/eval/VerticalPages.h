#pragma once

#include <set>
#include <string>
#include <vector>

#include "server/ppocr/eval/EvalSet.h"
#include "server/ppocr/eval/TextPicture.h"

// Pages set vertically, as classical texts, poems and many books are:
// characters top to bottom, columns right to left, some pages under a
// horizontal title or over a footer. Rendered here, with the truth in reading
// order (the title, the columns from the right, the footer).
namespace kelsor::server::ppocr {

// The horizontal full-width punctuation of Chinese text in the vertical form
// a typesetter draws in a column (，→︐ 。→︒ 「→﹁ …); other characters as
// they are.
std::string VerticalForm(const std::string& character);

struct VerticalPageOptions {
    int columns = 6;                  // 1..12
    int pixelHeight = 32;             // glyph height
    double characterStep = 1.15;      // em between the tops of characters in a column
    double columnStep = 1.7;          // em between the columns' centres
    bool verticalPunctuation = true;  // vertical forms for the punctuation
    std::string title;                // drawn across the top when not empty
    std::string footer;               // drawn across the bottom when not empty
};

// `columns` (UTF-8 text, one column each, first column rightmost) drawn
// black on white with `face`. False with `error` when the font cannot be
// loaded.
bool RenderVerticalPage(const std::vector<std::string>& columns, const FontFace& face,
                        const VerticalPageOptions& options, DecodedPicture& picture,
                        std::string& error);

// `count` pages as "vertical-page": Tang poems (a line of the poem a column)
// and prose flowed into columns in turn, 2 to 12 columns, 24-40 px glyphs,
// some in traditional characters, some without punctuation, some with a
// title or a footer. Only columns whose characters are all in `known` (the
// recogniser's character list; empty: any) are used. False with `error` when
// no font or no usable text is there.
// With `cut`, the pages are "vertical-tight" instead, as users capture
// them: characters and columns set further apart (short columns the
// detector boxes a character or a few at a time), each page cut around its
// ink with 0 to 15 pixels, the sides differing.
bool BuildVerticalPageSet(const std::vector<std::string>& chinese,
                          const std::set<std::string>& known, int count,
                          std::vector<EvalSample>& set, std::string& error, bool cut = false);

}  // namespace kelsor::server::ppocr
