#pragma once

#include <vector>

#include <opencv2/core.hpp>

#include "server/ppocr/DbPostProcess.h"
#include "server/ppocr/PpOcrSettings.h"

// The orientation step, with the direction classifier installed: pages
// turned by 90, 180 or 270 degrees, and single upside-down lines on an
// upright page.
namespace kelsor::server::ppocr {

struct ModelRuntime;
class LineReader;

// A point of a picture turned by `turns` quarters clockwise, in the picture
// before the turn (`size`).
cv::Point2f TurnedBack(cv::Point2f p, int turns, cv::Size size);

class Orientation {
public:
    Orientation(ModelRuntime& runtime, const PpOcrSettings& settings, PpOcrStageTimes& times,
                LineReader& reader)
        : m_runtime(runtime), m_settings(settings), m_times(times), m_reader(reader) {}

    // Quarter turns (clockwise) that bring the page upright: 0 to 3.
    // `judged` gets the lines the classifier judged on the way.
    int PageTurns(const cv::Mat& rgb, const std::vector<TextBox>& boxes,
                  std::vector<JudgedLine>& judged);
    // Turns the strips (of `boxes`) the classifier finds upside down; the
    // lines among `judged` are not judged again (a box changed since, as by
    // a cut, is).
    void TurnUpsideDownLines(const std::vector<TextBox>& boxes,
                             const std::vector<JudgedLine>& judged, std::vector<cv::Mat>& strips);

private:
    // The classifier's probability that each strip is upside down.
    std::vector<float> UpsideDown(const std::vector<cv::Mat>& strips);

    ModelRuntime& m_runtime;
    const PpOcrSettings& m_settings;
    PpOcrStageTimes& m_times;
    LineReader& m_reader;
};

}  // namespace kelsor::server::ppocr
