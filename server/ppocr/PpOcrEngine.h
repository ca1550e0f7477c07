#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/engine/RecognitionEngine.h"
#include "server/ppocr/PpOcrModels.h"
#include "server/ppocr/PpOcrSettings.h"

// Text recognition with the PP-OCRv4 detection and recognition models through
// ONNX Runtime: detection -> line boxes -> perspective crops -> recognition with
// greedy CTC decoding -> lines in reading order. The stages are
// LineDetector, Orientation and LineReader; the engine runs them.
namespace kelsor::server::ppocr {

struct ModelRuntime;
class LineDetector;
class LineReader;
class Orientation;

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
    void BorrowCoresFrom(CoreLender* lender) override;
    bool Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                   std::string& error) override;
    const PpOcrStageTimes& StageTimes() const { return m_times; }

private:
    PpOcrEngine(std::unique_ptr<ModelRuntime> runtime, const PpOcrSettings& settings);

    // `rgb` is `picture`'s pixels.
    bool RecognizeRgb(const DecodedPicture& picture, const cv::Mat& rgb,
                      std::vector<TextBlock>& lines, std::string& error);
    // The lines the detector finds in `rgb`, in reading order.
    bool ReadDetectedLines(const cv::Mat& rgb, std::vector<TextBlock>& lines, std::string& error);
    // `box` of `rgb` read as one line; none when it reads as nothing.
    std::optional<TextBlock> ReadWholeLine(const cv::Mat& rgb, const TextBox& box);

    std::unique_ptr<ModelRuntime> m_runtime;
    PpOcrSettings m_settings;
    PpOcrStageTimes m_times;
    // The stages, sharing the runtime, the settings and the times above.
    std::unique_ptr<LineDetector> m_detector;
    std::unique_ptr<LineReader> m_reader;
    std::unique_ptr<Orientation> m_orientation;
};

// One engine from the default model folder with the tuned settings; the
// server's engine pool calls this once per pooled engine.
std::unique_ptr<RecognitionEngine> CreateDefaultPpOcrEngine(std::string& error);

// True when the model files and the runtime are in place for the default
// engine; otherwise `reason` says what is missing.
bool PpOcrInstalled(std::string& reason);

}  // namespace kelsor::server::ppocr
