#pragma once

#include <string>
#include <vector>

#include "server/engine/RecognitionEngine.h"
#include "server/ppocr/eval/ColumnPages.h"
#include "server/ppocr/eval/TextPicture.h"

// Scoring an engine's reading order and the paragraphs of "编辑优先" on
// pages with a known truth. The narrow text of the paragraph join is in the
// process code page, which must be UTF-8 here.
namespace kelsor::server::ppocr {

struct LayoutScore {
    ErrorCount rowOrder;         // the lines read in page-wide rows, as they once were
    ErrorCount readingOrder;     // the lines in the order the engine gave them
    BreakCount breaks;           // paragraphs of the edited text
    double engineSeconds = 0.0;  // processor time of recognition
    double layoutSeconds = 0.0;  // processor time of ordering the lines (and of PP-OCR's gutter
                                 // search) once
    int pages = 0;

    void Add(const LayoutScore& other);
};

// Recognises `picture` with `engine` and compares both orders of its lines
// with `reference` (one truth line each, in reading order).
LayoutScore ScoreOrder(RecognitionEngine& engine, const DecodedPicture& picture,
                       const std::string& reference, std::vector<TextBlock>& lines);

// ScoreOrder on a column page, and its paragraph breaks; `lines` receives
// what the engine read.
LayoutScore ScoreColumnPage(RecognitionEngine& engine, const ColumnPage& page,
                            std::vector<TextBlock>& lines);

// The "编辑优先" text of recognised lines: paragraphs by their boxes.
std::string EditedText(const std::vector<TextBlock>& lines);

// Percentages and ratios of a score, for printing.
double Percent(const ErrorCount& count);
double Precision(const BreakCount& count);
double Recall(const BreakCount& count);

}  // namespace kelsor::server::ppocr
