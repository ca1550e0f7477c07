#pragma once

#include <map>
#include <string>
#include <vector>

#include "server/engine/RecognitionEngine.h"

// The evaluation set of the recognition engines: pictures rendered from lines
// of real text with their ground truth, the same set for every engine.
namespace kelsor::server::ppocr {

struct EvalSample {
    std::string language;  // "zh" or "en": picks the fonts
    std::vector<std::string> lines;
    DecodedPicture picture;
};

// The non-empty lines of a text file.
std::vector<std::string> ReadTextLines(const std::string& file);

// The Chinese text of the evaluation set as scripts/ppocr-eval.sh prepares it
// from Debian's fortunes-zh in `fortunesFolder`: the lines of the Tang poems
// and of the modern prose in turn, colour escapes and indentation removed;
// empty when the files are missing.
std::vector<std::string> FortuneChineseText(const std::string& fortunesFolder);

// The English text of the evaluation set: the quotations of fortunes-min's
// "literature" in `fortunesFolder`, cleaned as above, attributions ("-- ...")
// dropped; empty when the file is missing.
std::vector<std::string> FortuneEnglishText(const std::string& fortunesFolder);

// Deterministic set: picture i takes the next lines of its language's text,
// with the font, glyph height and line count cycling independently.
// `perLanguage` pictures for each language whose text is not empty. Returns
// false with `error` when a font cannot be loaded.
bool BuildEvaluationSet(const std::map<std::string, std::vector<std::string>>& texts,
                        int perLanguage, std::vector<EvalSample>& set, std::string& error);

// The screen-text set: UI-size lines (13-18 px glyphs, 1, 2 or 4 to a
// picture) on light, grey, dark-mode and coloured backgrounds, `perKind`
// pictures of each kind: "screen-zh" (pieces of `chinese`), "screen-en"
// (pieces of `english`) and "screen-mix" (Chinese with English words
// between). Returns false with `error` when a font cannot be loaded.
bool BuildScreenSet(const std::vector<std::string>& chinese,
                    const std::vector<std::string>& english, int perKind,
                    std::vector<EvalSample>& set, std::string& error);

// Single lines cut from the screen as a user selects them: `perKind` lines
// of each kind ("tight-zh", "tight-en", "tight-mix", as in the screen set),
// 13-36 px glyphs, on the screen set's backgrounds, each cut around its ink
// with `margin` pixels on every side (negative: 0 to 4 pixels in turn, the
// sides differing). Returns false with `error` when a font cannot be loaded.
bool BuildTightLineSet(const std::vector<std::string>& chinese,
                       const std::vector<std::string>& english, int perKind, int margin,
                       std::vector<EvalSample>& set, std::string& error);

// `picture` cut around its ink (pixels that differ from its corner colour)
// with `left`, `top`, `right` and `bottom` pixels of that colour around it.
DecodedPicture CutAroundInk(const DecodedPicture& picture, int left, int top, int right,
                            int bottom);

// Turned pages: copies of the first `count` pictures of each language in
// `set` ("zh" -> "zh-turned", ...), turned by 90, 180 and 270 degrees
// clockwise in turn.
std::vector<EvalSample> TurnedSamples(const std::vector<EvalSample>& set, int count);

// Chinese written in columns: `count` pictures of one column each, upright,
// as "zh-vertical". Returns false with `error` when a font cannot be loaded.
bool BuildVerticalSet(const std::vector<std::string>& chinese, int count,
                      std::vector<EvalSample>& set, std::string& error);

// The ground truth and the recognised lines as text, one line each, for
// CountErrors.
std::string ReferenceText(const EvalSample& sample);
// Lines as text, each ended by a newline (the form CountErrors compares).
std::string LinesText(const std::vector<std::string>& lines);
std::string RecognisedText(const std::vector<TextBlock>& lines);

}  // namespace kelsor::server::ppocr
