#pragma once

#include "server/engine/RecognitionEngine.h"
#include "server/layout/ReadingOrder.h"

#include <memory>
#include <string>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

namespace kelsor::server {

// A word of a recognised line: its text and where it starts and ends
// (picture x).
struct LineWord {
    std::string text;
    double left = 0.0;
    double right = 0.0;
};

// Lines that Tesseract ran across a column gutter cut there (see
// server/layout/Gutters.h), each piece with the words it holds; the other
// lines stay as they are.
void SplitAtGutters(std::vector<TextBlock>& lines, const std::vector<std::vector<LineWord>>& words,
                    double skew);

struct TesseractSettings {
    // Text nearer to the picture's edge than its own height is given that
    // margin, in the edge colour, before recognition: Tesseract loses
    // letters that touch the edge.
    bool textMargin = true;
};

// Tesseract with chi_sim+eng. Small text is upscaled and recognised again;
// each text line becomes one block, spaces between CJK characters removed.
class TesseractEngine : public RecognitionEngine {
public:
    static constexpr const char* kLanguages = "chi_sim+eng";

    ~TesseractEngine() override;
    // Loads the models; null with `error` set when they cannot be loaded.
    static std::unique_ptr<RecognitionEngine> Create(std::string& error) {
        return CreateWith(TesseractSettings{}, error);
    }
    static std::unique_ptr<RecognitionEngine> CreateWith(const TesseractSettings& settings,
                                                         std::string& error);

    std::string Name() const override { return "tesseract"; }
    bool Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                   std::string& error) override;

private:
    explicit TesseractEngine(const TesseractSettings& settings);
    // Recognize() on the picture as it is to be read (with its margin).
    bool RecognizePadded(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                         std::string& error);
    // `baselines` receives the lines' baselines (picture coordinates), which
    // show the page's skew, and `words` each line's words.
    bool RecognizeScaled(const DecodedPicture& picture, double scale, std::vector<TextBlock>& lines,
                         std::vector<layout::Segment>& baselines,
                         std::vector<std::vector<LineWord>>& words, std::string& error);

    TesseractSettings m_settings;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
};

}  // namespace kelsor::server
