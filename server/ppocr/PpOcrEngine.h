#pragma once

#include <memory>
#include <string>
#include <vector>

#include "server/engine/RecognitionEngine.h"
#include "server/ppocr/DbPostProcess.h"
#include "server/ppocr/PpOcrModels.h"

// Text recognition with the PP-OCRv4 detection and recognition models through
// ONNX Runtime: detection -> line boxes -> perspective crops -> recognition with
// greedy CTC decoding -> lines in reading order.
namespace kelsor::server::ppocr {

struct PpOcrSettings {
    DbSettings detection;
    // The picture is scaled so that its longer side is at most this (and its
    // shorter side at least `detectionMinSide`), in multiples of 32.
    int detectionMaxSide = 960;
    int detectionMinSide = 64;
    int recognitionHeight = 48;
    // Line crops narrower than this are padded; wider ones are capped (very long
    // lines are squeezed rather than cut).
    int recognitionMinWidth = 320;
    int recognitionMaxWidth = 3200;
    // Lines whose mean character probability is below this are dropped.
    double minLineConfidence = 0.5;
    // A space next to a Latin word is kept when the model gave it this
    // probability (0 = only where it is the most likely class).
    float latinSpaceProbability = 0.1f;
};

class PpOcrEngine : public RecognitionEngine {
public:
    // Loads the models once; each engine owns its runtime sessions, so a pool
    // keeps one engine per thread. Returns null with `error` when a file is
    // missing or a model does not load.
    static std::unique_ptr<PpOcrEngine> Create(const PpOcrModelPaths& paths,
                                               const PpOcrSettings& settings, std::string& error);
    static std::unique_ptr<PpOcrEngine> Create(const PpOcrModelPaths& paths, std::string& error) {
        return Create(paths, PpOcrSettings{}, error);
    }
    ~PpOcrEngine() override;

    std::string Name() const override { return "ppocr"; }
    bool Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                   std::string& error) override;

private:
    struct Runtime;
    PpOcrEngine(std::unique_ptr<Runtime> runtime, const PpOcrSettings& settings);

    std::unique_ptr<Runtime> m_runtime;
    PpOcrSettings m_settings;
};

// One engine from the default model folder with the tuned settings; the
// server's engine pool calls this once per pooled engine.
std::unique_ptr<RecognitionEngine> CreateDefaultPpOcrEngine(std::string& error);

// True when the model files and the runtime are in place for the default
// engine; otherwise `reason` says what is missing.
bool PpOcrInstalled(std::string& reason);

}  // namespace kelsor::server::ppocr
