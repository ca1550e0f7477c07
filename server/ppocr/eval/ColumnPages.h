#pragma once

#include <string>
#include <vector>

#include "server/engine/RecognitionEngine.h"
#include "server/ppocr/eval/TextPicture.h"

// Column pages for measuring reading order and paragraphs: running text in
// two or three columns, Chinese or English, with paragraphs of different
// lengths, some pages under a heading across the columns or over a footer,
// some scanned skewed by 1 to 3 degrees. Rendered here, with the truth.
namespace kelsor::server::ppocr {

struct ColumnPage {
    std::string language;  // "zh" or "en"
    int columns = 2;
    double skewDegrees = 0.0;
    bool heading = false;
    std::vector<std::string> lines;     // in reading order, UTF-8
    std::vector<bool> paragraphStarts;  // per line: a paragraph starts here
    DecodedPicture picture;
};

// `count` pages, Chinese and English in turn, with `linesPerColumn` lines in
// a full column (0: as many as a page of the set holds) and gutters
// `gutterEms` wide (0: 1.5 to 3 em, differing from page to page). False with
// `error` when a font cannot be loaded.
bool BuildColumnPages(int count, std::vector<ColumnPage>& pages, std::string& error,
                      int linesPerColumn = 0, double gutterEms = 0.0);

// The truth in reading order, one line each, for CountErrors.
std::string ColumnReference(const ColumnPage& page);

// Paragraph breaks found in an edited text (paragraphs separated by line
// ends) against the page's truth: a break counts as right when it falls
// within two characters of a true one, after the recognised text is aligned
// with the truth.
struct BreakCount {
    long long truth = 0;
    long long found = 0;
    long long right = 0;
};
BreakCount CountParagraphBreaks(const ColumnPage& page, const std::string& editedText);

}  // namespace kelsor::server::ppocr
