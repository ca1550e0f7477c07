#include "server/ppocr/LineReader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "server/ppocr/ModelRuntime.h"

namespace kelsor::server::ppocr {

namespace {

// One flag per column of a strip padded to `width`: 1 where it holds no ink.
// Ink is the smaller side of the strip's Otsu threshold, so dark text on a
// light ground and light text on a dark one both count.
std::vector<std::uint8_t> BlankColumns(const cv::Mat& strip, int width) {
    std::vector<std::uint8_t> blank(static_cast<std::size_t>(width), 1);
    cv::Mat grey, binary;
    cv::cvtColor(strip, grey, cv::COLOR_RGB2GRAY);
    cv::threshold(grey, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    if (cv::countNonZero(binary) * 2 > binary.rows * binary.cols) {
        cv::bitwise_not(binary, binary);
    }
    cv::Mat inkPerColumn;
    cv::reduce(binary, inkPerColumn, 0, cv::REDUCE_MAX);
    for (int x = 0; x < std::min(width, strip.cols); ++x) {
        blank[static_cast<std::size_t>(x)] = inkPerColumn.at<std::uint8_t>(0, x) == 0 ? 1 : 0;
    }
    return blank;
}

}  // namespace

cv::Mat UprightCrop(const cv::Mat& picture, const TextBox& box, double scale) {
    const cv::Size2f size = BoxSize(box);
    const int w = std::max(1, static_cast<int>(std::lround(size.width * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(size.height * scale)));
    const cv::Point2f target[4] = {{0.0f, 0.0f},
                                   {static_cast<float>(w), 0.0f},
                                   {static_cast<float>(w), static_cast<float>(h)},
                                   {0.0f, static_cast<float>(h)}};
    const cv::Mat transform = cv::getPerspectiveTransform(box.corners.data(), target);
    cv::Mat crop;
    cv::warpPerspective(picture, crop, transform, cv::Size(w, h), cv::INTER_CUBIC,
                        cv::BORDER_REPLICATE);
    return crop;
}

// Small lines are enlarged by the crop itself (bicubic, one resampling);
// larger ones are cropped at their size and then scaled down.
cv::Mat CropLine(const cv::Mat& picture, const TextBox& box, int height, int maxWidth) {
    const cv::Size2f size = BoxSize(box);
    const bool tall = IsTall(size);
    const double across = std::max(1.0f, tall ? size.width : size.height);
    const double enlarge = std::max(1.0, height / across);
    cv::Mat crop = UprightCrop(picture, box, enlarge);
    if (tall) {
        cv::rotate(crop, crop, cv::ROTATE_90_COUNTERCLOCKWISE);
    }
    const int width =
        std::clamp(static_cast<int>(std::ceil(height * static_cast<double>(crop.cols) / crop.rows)),
                   1, maxWidth);
    if (crop.rows != height || crop.cols != width) {
        cv::resize(crop, crop, cv::Size(width, height));
    }
    return crop;
}

std::vector<cv::Mat> LineReader::Strips(const cv::Mat& rgb,
                                        const std::vector<TextBox>& boxes) const {
    std::vector<cv::Mat> strips(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        strips[i] =
            CropLine(rgb, boxes[i], m_settings.recognitionHeight, m_settings.recognitionMaxWidth);
    }
    return strips;
}

void LineReader::Read(const std::vector<cv::Mat>& strips, std::vector<DecodedLine>& decoded) {
    // Lines of similar width share a batch, so little of it is padding.
    std::vector<std::size_t> order(strips.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return strips[a].cols < strips[b].cols; });
    decoded.assign(strips.size(), DecodedLine{});
    // A batch takes the next lines while they need little padding: the
    // model's work grows with the padded width, and padding changes what it
    // reads at a line's end.
    const std::size_t batch = static_cast<std::size_t>(std::max(1, m_settings.recognitionBatch));
    const auto padded = [&](std::size_t i) {
        return std::max(strips[i].cols, m_settings.recognitionMinWidth);
    };
    std::vector<std::vector<std::size_t>> batches(1);
    for (std::size_t next = 0; next < order.size(); ++next) {
        batches.back().push_back(order[next]);
        const bool last = next + 1 == order.size();
        if (!last && (batches.back().size() == batch ||
                      padded(order[next + 1]) >
                          padded(batches.back().front()) * m_settings.recognitionBatchSpread)) {
            batches.emplace_back();
        }
    }
    if (!order.empty()) {
        for (const std::vector<std::size_t>& members : batches) {
            m_times.recognitionColumns +=
                static_cast<long long>(members.size()) * padded(members.back());
        }
        RecognizeBatches(strips, batches, decoded);
    }
}

void LineReader::RecognizeBatches(const std::vector<cv::Mat>& strips,
                                  const std::vector<std::vector<std::size_t>>& batches,
                                  std::vector<DecodedLine>& decoded) {
    // Batches are taken widest first, so that the last ones to finish are
    // short; each writes only its own lines of `decoded`.
    std::atomic<std::size_t> taken{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto takeOne = [&](std::vector<float>& tensor) {
        const std::size_t k = taken++;
        if (k >= batches.size()) {
            return false;
        }
        try {
            RecognizeBatch(strips, batches[batches.size() - 1 - k], tensor, decoded);
        } catch (...) {
            std::lock_guard lock(failureMutex);
            failure = failure ? failure : std::current_exception();
            taken = batches.size();
            return false;
        }
        return true;
    };
    // Idle cores of the pool help, one batch per loan, so that a request
    // that arrives meanwhile gets its core back soon.
    std::vector<std::thread> helpers;
    while (m_lender != nullptr && helpers.size() + 1 < batches.size() && m_lender->TryBorrow()) {
        helpers.emplace_back([&] {
            std::vector<float> tensor;
            for (bool more = true; more;) {
                more = takeOne(tensor);
                m_lender->GiveBack();
                more = more && taken < batches.size() && m_lender->TryBorrow();
            }
        });
    }
    while (takeOne(m_runtime.recognitionTensor)) {
    }
    for (std::thread& helper : helpers) {
        helper.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void LineReader::RecognizeBatch(const std::vector<cv::Mat>& strips,
                                const std::vector<std::size_t>& members, std::vector<float>& tensor,
                                std::vector<DecodedLine>& decoded) {
    const int height = m_settings.recognitionHeight;
    int width = m_settings.recognitionMinWidth;
    std::vector<const cv::Mat*> batch;
    for (std::size_t member : members) {
        width = std::max(width, strips[member].cols);
        batch.push_back(&strips[member]);
    }
    Ort::Value result =
        RunOnStrips(m_runtime.recognition, m_runtime.recognitionInput, m_runtime.recognitionOutput,
                    m_runtime.memory, batch, height, width, tensor);
    const auto outShape = result.GetTensorTypeAndShapeInfo().GetShape();
    if (outShape.size() != 3 || outShape[0] != static_cast<std::int64_t>(members.size())) {
        throw std::runtime_error("the recognition model returned an unexpected shape");
    }
    const int steps = static_cast<int>(outShape[1]);
    const int classes = static_cast<int>(outShape[2]);
    const float* scores = result.GetTensorData<float>();
    for (std::size_t k = 0; k < members.size(); ++k) {
        // Where the line's ink is tells word spaces the frames are too
        // coarse for (a Latin letter is about two frames).
        const std::vector<std::uint8_t> blank = m_settings.gapSpaceRatio > 0.0f
                                                    ? BlankColumns(strips[members[k]], width)
                                                    : std::vector<std::uint8_t>{};
        decoded[members[k]] = GreedyCtcDecode(
            scores + k * static_cast<std::size_t>(steps) * classes, steps, classes,
            m_runtime.labels, m_settings.latinSpaceProbability, m_settings.gapSpaceRatio, &blank);
    }
}

}  // namespace kelsor::server::ppocr
