#pragma once

#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "server/ppocr/DbPostProcess.h"
#include "server/ppocr/PpOcrSettings.h"

namespace Ort {
struct Value;
}

// The detection stage: the detection model's probability map of a picture
// turned into line boxes, small text detected again from an enlarged picture.
namespace kelsor::server::ppocr {

struct ModelRuntime;

class LineDetector {
public:
    LineDetector(ModelRuntime& runtime, const PpOcrSettings& settings, PpOcrStageTimes& times)
        : m_runtime(runtime), m_settings(settings), m_times(times) {}

    // Line boxes of `rgb` in its own coordinates. False with `error` when the
    // model's output does not have the expected shape.
    bool DetectLines(const cv::Mat& rgb, std::vector<TextBox>& boxes, std::string& error);

private:
    // The detection model's probability map of `rgb` scaled to `size`.
    Ort::Value RunDetection(const cv::Mat& rgb, cv::Size size);
    // Line boxes of `rgb` from its map at `size`, in `rgb`'s coordinates.
    bool DetectIn(const cv::Mat& rgb, cv::Size size, std::vector<TextBox>& boxes,
                  std::string& error);

    ModelRuntime& m_runtime;
    const PpOcrSettings& m_settings;
    PpOcrStageTimes& m_times;
};

}  // namespace kelsor::server::ppocr
