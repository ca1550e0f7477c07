#pragma once

#include <cstddef>
#include <vector>

#include <opencv2/core.hpp>

#include "server/engine/RecognitionEngine.h"
#include "server/ppocr/CtcDecoder.h"
#include "server/ppocr/DbPostProcess.h"
#include "server/ppocr/PpOcrSettings.h"

// The recognition stage: line boxes cut out as upright strips of the model's
// height, read in batches of similar width (idle cores of the pool take
// batches too) and decoded.
namespace kelsor::server::ppocr {

struct ModelRuntime;

// The box cut out as it lies (not turned), `scale` times its size, by one
// perspective warp (bicubic).
cv::Mat UprightCrop(const cv::Mat& picture, const TextBox& box, double scale);

// The line as an upright strip `height` pixels high: perspective crop of the
// box; tall crops are vertical text and are turned to read left to right.
cv::Mat CropLine(const cv::Mat& picture, const TextBox& box, int height, int maxWidth);

class LineReader {
public:
    LineReader(ModelRuntime& runtime, const PpOcrSettings& settings, PpOcrStageTimes& times)
        : m_runtime(runtime), m_settings(settings), m_times(times) {}

    // Idle cores are borrowed from `lender` (null: none).
    void BorrowCoresFrom(CoreLender* lender) { m_lender = lender; }

    // The strips of `boxes` in `rgb`.
    std::vector<cv::Mat> Strips(const cv::Mat& rgb, const std::vector<TextBox>& boxes) const;
    // `decoded[i]` is the text of `strips[i]`.
    void Read(const std::vector<cv::Mat>& strips, std::vector<DecodedLine>& decoded);
    // Recognises the batches (indices into `strips`) in turn; lent cores take
    // batches too.
    void RecognizeBatches(const std::vector<cv::Mat>& strips,
                          const std::vector<std::vector<std::size_t>>& batches,
                          std::vector<DecodedLine>& decoded);

private:
    void RecognizeBatch(const std::vector<cv::Mat>& strips, const std::vector<std::size_t>& members,
                        std::vector<float>& tensor, std::vector<DecodedLine>& decoded);

    ModelRuntime& m_runtime;
    const PpOcrSettings& m_settings;
    PpOcrStageTimes& m_times;
    CoreLender* m_lender = nullptr;
};

}  // namespace kelsor::server::ppocr
