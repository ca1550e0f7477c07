#pragma once

#include "server/engine/RecognitionEngine.h"
#include "server/layout/ReadingOrder.h"

#include <memory>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

namespace kelsor::server {

// Tesseract with chi_sim+eng. Small text is upscaled and recognised again;
// each text line becomes one block, spaces between CJK characters removed.
class TesseractEngine : public RecognitionEngine {
public:
    static constexpr const char* kLanguages = "chi_sim+eng";

    ~TesseractEngine() override;
    // Loads the models; null with `error` set when they cannot be loaded.
    static std::unique_ptr<RecognitionEngine> Create(std::string& error);

    std::string Name() const override { return "tesseract"; }
    bool Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                   std::string& error) override;

private:
    TesseractEngine();
    // `baselines` receives the lines' baselines (picture coordinates), which
    // show the page's skew.
    bool RecognizeScaled(const DecodedPicture& picture, double scale, std::vector<TextBlock>& lines,
                         std::vector<layout::Segment>& baselines, std::string& error);

    std::unique_ptr<tesseract::TessBaseAPI> m_api;
};

}  // namespace kelsor::server
