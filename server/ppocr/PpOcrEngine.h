#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "server/engine/RecognitionEngine.h"
#include "server/ppocr/DbPostProcess.h"
#include "server/ppocr/PpOcrModels.h"

namespace Ort {
struct Value;
}

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
    // A space is put between two letters or digits whose blank frames are
    // this many times the line's letter width (0 = off); the model drops
    // word spaces in lines that mix Chinese and English. At half a letter,
    // gaps inside English words (around r, m, an apostrophe) passed for
    // spaces.
    float gapSpaceRatio = 0.6f;
    // Small text is read from an enlarged picture: an area of text whose
    // lines' median height is below this (pixels) is scaled up to bring it
    // there (at most `smallTextMaxScale` times) and detected again.
    int smallTextHeight = 24;
    double smallTextMaxScale = 3.0;
    // With the direction classifier installed: pages turned by 90, 180 or
    // 270 degrees are found from up to `turnSampleLines` lines and read
    // upright, and single lines the classifier finds upside down with at
    // least `lineTurnProbability` are turned (0 = no page or line turning).
    int turnSampleLines = 5;
    float lineTurnProbability = 0.9f;
    // Lines recognised in one run of the model, sorted by width so that a
    // batch holds little padding. One: on one CPU thread a batch of six took
    // twice the time of six single runs (1.2 times with the spread below),
    // and padding changed some word spaces.
    int recognitionBatch = 1;
    // A line joins a batch only while its padded width is at most this many
    // times the batch's narrowest.
    double recognitionBatchSpread = 1.1;
};

// Where an engine's processor time went (its own thread), summed over the
// pictures it recognised.
struct PpOcrStageTimes {
    double detection = 0.0;       // scaling, normalising, the detection model
    double postProcessing = 0.0;  // boxes from the probability map, reading order
    double recognition = 0.0;     // line crops, the recognition model, decoding
    double orientation = 0.0;     // direction classifier, trial readings of turned lines
    long long lines = 0;
    long long pictures = 0;
    // Pixels of the maps the detection model ran on: its work, whatever
    // else runs on the machine.
    long long detectionPixels = 0;
    // Columns of the strips the recognition model read (padding included):
    // its work, in the same way.
    long long recognitionColumns = 0;
};

struct DecodedLine;

// A line box and the direction classifier's probability that it is upside
// down.
struct JudgedLine {
    std::array<cv::Point2f, 4> corners;
    float upsideDown = 0.0f;
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
    void BorrowCoresFrom(CoreLender* lender) override { m_lender = lender; }
    bool Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                   std::string& error) override;
    const PpOcrStageTimes& StageTimes() const { return m_times; }

private:
    struct Runtime;
    PpOcrEngine(std::unique_ptr<Runtime> runtime, const PpOcrSettings& settings);

    bool RecognizeRgb(const cv::Mat& rgb, std::vector<TextBlock>& lines, std::string& error);
    // The detection model's probability map of `rgb` scaled to `size`.
    Ort::Value RunDetection(const cv::Mat& rgb, cv::Size size);
    // Line boxes of `rgb` from its map at `size`, in `rgb`'s coordinates.
    bool DetectIn(const cv::Mat& rgb, cv::Size size, std::vector<TextBox>& boxes,
                  std::string& error);
    // Line boxes of `rgb` in reading order, in its own coordinates.
    bool DetectLines(const cv::Mat& rgb, std::vector<TextBox>& boxes, std::string& error);
    // Quarter turns (clockwise) that bring the page upright: 0 to 3.
    // `judged` gets the lines the classifier judged on the way.
    int PageTurns(const cv::Mat& rgb, const std::vector<TextBox>& boxes,
                  std::vector<JudgedLine>& judged);
    // The classifier's probability that each strip is upside down.
    std::vector<float> UpsideDown(const std::vector<cv::Mat>& strips);
    // `decoded[i]` is the text of `boxes[i]`; boxes not among `judged` are
    // classified first.
    bool ReadLines(const cv::Mat& rgb, const std::vector<TextBox>& boxes,
                   const std::vector<JudgedLine>& judged, std::vector<DecodedLine>& decoded,
                   std::string& error);
    // Recognises the batches in turn; lent cores take batches too.
    void RecognizeBatches(const std::vector<cv::Mat>& strips,
                          const std::vector<std::vector<std::size_t>>& batches,
                          std::vector<DecodedLine>& decoded);
    void RecognizeBatch(const std::vector<cv::Mat>& strips, const std::vector<std::size_t>& members,
                        std::vector<float>& tensor, std::vector<DecodedLine>& decoded);

    std::unique_ptr<Runtime> m_runtime;
    PpOcrSettings m_settings;
    PpOcrStageTimes m_times;
    CoreLender* m_lender = nullptr;
};

// One engine from the default model folder with the tuned settings; the
// server's engine pool calls this once per pooled engine.
std::unique_ptr<RecognitionEngine> CreateDefaultPpOcrEngine(std::string& error);

// True when the model files and the runtime are in place for the default
// engine; otherwise `reason` says what is missing.
bool PpOcrInstalled(std::string& reason);

}  // namespace kelsor::server::ppocr
