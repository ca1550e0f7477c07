#include "server/ppocr/LineDetector.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <opencv2/imgproc.hpp>

#include "server/ppocr/ModelRuntime.h"

namespace kelsor::server::ppocr {

namespace {

// The detection model's input size for a picture: its longer side at most
// `detectionMaxSide` (short pictures enlarged), in multiples of 32.
cv::Size DetectionSize(int cols, int rows, const PpOcrSettings& s) {
    double ratio = 1.0;
    const int longer = std::max(cols, rows);
    const int shorter = std::min(cols, rows);
    if (longer > s.detectionMaxSide) {
        ratio = static_cast<double>(s.detectionMaxSide) / longer;
    } else if (shorter < s.detectionMinSide) {
        ratio = std::min(static_cast<double>(s.detectionMinSide) / shorter,
                         static_cast<double>(s.detectionMaxSide) / longer);
    }
    return {RoundTo32(cols * ratio), RoundTo32(rows * ratio)};
}

// Median height of the boxes' text (across the line), in picture pixels.
float MedianTextHeight(const std::vector<TextBox>& boxes) {
    std::vector<float> heights;
    for (const TextBox& box : boxes) {
        const cv::Size2f size = BoxSize(box);
        heights.push_back(IsTall(size) ? size.width : size.height);
    }
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

// The boxes grouped into areas of text: boxes whose surroundings (two of
// their line heights on every side) touch share an area.
std::vector<std::vector<TextBox>> TextAreas(const std::vector<TextBox>& boxes) {
    std::vector<cv::Rect> around;
    for (const TextBox& box : boxes) {
        const cv::Size2f size = BoxSize(box);
        const int margin =
            static_cast<int>(std::ceil(2.0f * (IsTall(size) ? size.width : size.height)));
        around.push_back(Grown(BoundingRect(box), margin));
    }
    std::vector<std::size_t> parent(boxes.size());
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    const auto root = [&](std::size_t i) {
        while (parent[i] != i) {
            i = parent[i] = parent[parent[i]];
        }
        return i;
    };
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        for (std::size_t k = i + 1; k < boxes.size(); ++k) {
            if ((around[i] & around[k]).area() > 0) {
                parent[root(k)] = root(i);
            }
        }
    }
    std::vector<std::vector<TextBox>> areas;
    std::vector<std::size_t> areaOf(boxes.size(), boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        std::size_t& area = areaOf[root(i)];
        if (area == boxes.size()) {
            area = areas.size();
            areas.emplace_back();
        }
        areas[area].push_back(boxes[i]);
    }
    return areas;
}

}  // namespace

Ort::Value LineDetector::RunDetection(const cv::Mat& rgb, cv::Size size) {
    cv::Mat scaled;
    cv::resize(rgb, scaled, size);
    const std::size_t plane = static_cast<std::size_t>(size.width) * size.height;
    std::vector<float>& tensor = m_runtime.detectionTensor;
    tensor.resize(3 * plane);
    WriteBgrPlanes(scaled, DetectionNormalisation(), tensor.data(), plane, size.width);
    const std::array<std::int64_t, 4> shape{1, 3, size.height, size.width};
    Ort::Value input = Ort::Value::CreateTensor<float>(m_runtime.memory, tensor.data(),
                                                       tensor.size(), shape.data(), shape.size());
    const char* in = m_runtime.detectionInput.c_str();
    const char* out = m_runtime.detectionOutput.c_str();
    auto result = m_runtime.detection.Run(Ort::RunOptions{nullptr}, &in, &input, 1, &out, 1);
    return std::move(result[0]);
}

bool LineDetector::DetectIn(const cv::Mat& rgb, cv::Size size, std::vector<TextBox>& boxes,
                            std::string& error) {
    const double start = ThreadCpuSeconds();
    Ort::Value map = RunDetection(rgb, size);
    const auto mapShape = map.GetTensorTypeAndShapeInfo().GetShape();
    if (mapShape.size() != 4 || mapShape[2] != size.height || mapShape[3] != size.width) {
        error = "the detection model returned an unexpected shape";
        return false;
    }
    const double detected = ThreadCpuSeconds();
    m_times.detection += detected - start;
    m_times.detectionPixels += static_cast<long long>(size.area());
    const cv::Mat probability(size.height, size.width, CV_32FC1, map.GetTensorMutableData<float>());
    boxes =
        FindTextBoxes(probability, m_settings.detection,
                      static_cast<float>(rgb.cols) / static_cast<float>(size.width),
                      static_cast<float>(rgb.rows) / static_cast<float>(size.height), rgb.size());
    m_times.postProcessing += ThreadCpuSeconds() - detected;
    return true;
}

bool LineDetector::DetectLines(const cv::Mat& rgb, std::vector<TextBox>& boxes,
                               std::string& error) {
    const cv::Size size = DetectionSize(rgb.cols, rgb.rows, m_settings);
    if (!DetectIn(rgb, size, boxes, error)) {
        return false;
    }
    // Text only a few map pixels high is found in pieces or missed: each
    // area of such text is detected again, enlarged. Areas of larger text
    // keep their boxes, so a screen with text in a few places costs the
    // enlarged detection of those places only.
    if (m_settings.smallTextHeight > 0 && !boxes.empty()) {
        const double mapScale = static_cast<double>(size.width) / rgb.cols;
        std::vector<TextBox> found;
        for (const std::vector<TextBox>& area : TextAreas(boxes)) {
            const float height = MedianTextHeight(area);
            cv::Rect region;
            for (const TextBox& box : area) {
                region |= BoundingRect(box);
            }
            const int margin = static_cast<int>(std::ceil(2.0f * height));
            region = Grown(region, margin) & cv::Rect(0, 0, rgb.cols, rgb.rows);
            const double scale = std::min(
                {m_settings.smallTextHeight / std::max(1.0, static_cast<double>(height)),
                 m_settings.smallTextMaxScale,
                 3.0 * m_settings.detectionMaxSide / std::max(region.width, region.height)});
            if (scale < 1.25 * mapScale) {
                found.insert(found.end(), area.begin(), area.end());
                continue;
            }
            std::vector<TextBox> enlarged;
            const cv::Size regionSize(RoundTo32(region.width * scale),
                                      RoundTo32(region.height * scale));
            if (!DetectIn(rgb(region), regionSize, enlarged, error)) {
                return false;
            }
            for (TextBox& box : enlarged) {
                for (cv::Point2f& corner : box.corners) {
                    corner +=
                        cv::Point2f(static_cast<float>(region.x), static_cast<float>(region.y));
                }
                found.push_back(std::move(box));
            }
        }
        boxes = std::move(found);
    }
    return true;
}

}  // namespace kelsor::server::ppocr
