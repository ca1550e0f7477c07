#include "server/ppocr/Orientation.h"

#include <algorithm>
#include <stdexcept>

#include <opencv2/imgproc.hpp>

#include "server/layout/VerticalColumns.h"
#include "server/ppocr/ColumnStrip.h"
#include "server/ppocr/LineReader.h"
#include "server/ppocr/ModelRuntime.h"

namespace kelsor::server::ppocr {

cv::Point2f TurnedBack(cv::Point2f p, int turns, cv::Size size) {
    const float right = static_cast<float>(size.width - 1);
    const float bottom = static_cast<float>(size.height - 1);
    switch (turns) {
        case 1:
            return {p.y, bottom - p.x};
        case 2:
            return {right - p.x, bottom - p.y};
        case 3:
            return {right - p.y, p.x};
        default:
            return p;
    }
}

std::vector<float> Orientation::UpsideDown(const std::vector<cv::Mat>& strips) {
    // The classifier reads 192 x 48. Squeezing a long line into that makes
    // it a blur the classifier misreads, so a long line is judged from three
    // pieces at its own proportions (start, middle, end), averaged.
    // A line that fits is one piece: its three would be the same.
    constexpr int kHeight = 48, kWidth = 192, kPieces = 3;
    std::vector<cv::Mat> inputs;
    std::vector<std::size_t> firstPiece;
    for (const cv::Mat& strip : strips) {
        cv::Mat line = strip;
        if (line.rows != kHeight) {
            const int width =
                std::max(1, static_cast<int>(std::ceil(kHeight * static_cast<double>(line.cols) /
                                                       std::max(1, line.rows))));
            cv::resize(strip, line, cv::Size(width, kHeight));
        }
        firstPiece.push_back(inputs.size());
        const int pieces = line.cols <= kWidth ? 1 : kPieces;
        for (int k = 0; k < pieces; ++k) {
            const int x = pieces == 1 ? 0 : (line.cols - kWidth) * k / (pieces - 1);
            inputs.push_back(line(cv::Rect(x, 0, std::min(kWidth, line.cols), kHeight)));
        }
    }
    firstPiece.push_back(inputs.size());
    std::vector<const cv::Mat*> pointers;
    for (const cv::Mat& input : inputs) {
        pointers.push_back(&input);
    }
    std::vector<float> tensor;
    Ort::Value result =
        RunOnStrips(m_runtime.classifier, m_runtime.classifierInput, m_runtime.classifierOutput,
                    m_runtime.memory, pointers, kHeight, kWidth, tensor);
    const auto outShape = result.GetTensorTypeAndShapeInfo().GetShape();
    if (outShape.size() != 2 || outShape[0] != static_cast<std::int64_t>(inputs.size()) ||
        outShape[1] != 2) {
        throw std::runtime_error("the direction classifier returned an unexpected shape");
    }
    const float* scores = result.GetTensorData<float>();
    std::vector<float> upsideDown(strips.size());
    for (std::size_t i = 0; i < strips.size(); ++i) {
        const std::size_t pieces = firstPiece[i + 1] - firstPiece[i];
        for (std::size_t k = firstPiece[i]; k < firstPiece[i + 1]; ++k) {
            upsideDown[i] += scores[2 * k + 1] / static_cast<float>(pieces);  // 0 and 180 degrees
        }
    }
    return upsideDown;
}

int Orientation::PageTurns(const cv::Mat& rgb, const std::vector<TextBox>& boxes,
                           std::vector<JudgedLine>& judged) {
    judged.clear();
    if (!m_runtime.classifier || m_settings.turnSampleLines <= 0 || boxes.empty()) {
        return 0;
    }
    // Lines clearly longer one way than the other vote; single characters
    // (square boxes) do not, nor marks boxed alone (a comma is taller than
    // wide in a line across as well).
    std::vector<float> across;
    for (const TextBox& box : boxes) {
        const cv::Size2f size = BoxSize(box);
        across.push_back(std::min(size.width, size.height));
    }
    std::nth_element(across.begin(), across.begin() + across.size() / 2, across.end());
    const float mark = static_cast<float>(layout::kMarkSize) * across[across.size() / 2];
    std::vector<std::pair<float, const TextBox*>> wide, tall;
    for (const TextBox& box : boxes) {
        const cv::Size2f size = BoxSize(box);
        if (std::min(size.width, size.height) < mark) {
            continue;
        }
        if (IsTall(size)) {
            tall.emplace_back(size.height / std::max(1.0f, size.width), &box);
        } else if (size.width >= 1.5f * size.height) {
            wide.emplace_back(size.width / std::max(1.0f, size.height), &box);
        }
    }
    const bool sideways = tall.size() > wide.size();
    auto& votes = sideways ? tall : wide;
    if (votes.empty()) {
        return 0;
    }
    // The longest lines tell the direction best.
    const std::size_t sample =
        std::min(votes.size(), static_cast<std::size_t>(m_settings.turnSampleLines));
    std::partial_sort(votes.begin(), votes.begin() + static_cast<std::ptrdiff_t>(sample),
                      votes.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<cv::Mat> strips;
    for (std::size_t i = 0; i < sample; ++i) {
        strips.push_back(CropLine(rgb, *votes[i].second, m_settings.recognitionHeight,
                                  m_settings.recognitionMaxWidth));
    }
    const std::vector<float> sampled = UpsideDown(strips);
    for (std::size_t i = 0; i < sample; ++i) {
        judged.push_back({votes[i].second->corners, sampled[i]});
    }
    const auto flipped = static_cast<std::size_t>(
        std::count_if(sampled.begin(), sampled.end(), [](float p) { return p > 0.5f; }));
    if (!sideways) {
        return 2 * flipped > sample ? 2 : 0;
    }
    // Tall lines: a page turned a quarter, or Chinese written in columns. A
    // turned page's lines read well once laid down the right way.
    for (std::size_t i = 0; i < sample; ++i) {
        if (2 * flipped > sample) {
            cv::rotate(strips[i], strips[i], cv::ROTATE_180);
        }
    }
    // The same lines as their characters side by side (vertical Chinese).
    std::vector<cv::Mat> stacked;
    for (std::size_t i = 0; i < sample; ++i) {
        cv::Mat cells = StackedColumn(rgb, *votes[i].second, m_settings.recognitionHeight,
                                      m_settings.recognitionMaxWidth);
        stacked.push_back(cells.empty()
                              ? cv::Mat(m_settings.recognitionHeight, m_settings.recognitionHeight,
                                        CV_8UC3, cv::Scalar::all(255))
                              : std::move(cells));
    }
    strips.insert(strips.end(), stacked.begin(), stacked.end());
    std::vector<std::vector<std::size_t>> batches;
    for (std::size_t i = 0; i < strips.size(); ++i) {
        batches.push_back({i});
    }
    std::vector<DecodedLine> decoded(strips.size());
    m_reader.RecognizeBatches(strips, batches, decoded);
    double confidence = 0.0, stackedConfidence = 0.0;
    for (std::size_t i = 0; i < sample; ++i) {
        confidence += decoded[i].confidence;
        stackedConfidence += decoded[sample + i].confidence;
    }
    if (confidence < 0.8 * static_cast<double>(sample)) {
        return 0;
    }
    // Strips that read upside down come from a page turned anticlockwise:
    // a quarter clockwise brings it upright.
    if (2 * flipped > sample) {
        return 1;
    }
    // Upright strips come from a page turned clockwise, or from columns of
    // vertical Chinese (the recogniser reads characters lying on their side
    // almost as well as upright ones). Set side by side, the characters of
    // a turned page lie on their side, which the classifier takes for upside
    // down, and cut-apart Latin letters read poorly; those of columns stand
    // upright and read as well as laid down.
    const std::vector<float> stackedTurned = UpsideDown(stacked);
    const auto lying = static_cast<std::size_t>(std::count_if(
        stackedTurned.begin(), stackedTurned.end(), [](float p) { return p > 0.5f; }));
    if (2 * lying <= sample &&
        stackedConfidence >= confidence - 0.1 * static_cast<double>(sample)) {
        return 0;
    }
    // A quarter back the other way (three clockwise) brings it upright.
    return 3;
}

void Orientation::TurnUpsideDownLines(const std::vector<TextBox>& boxes,
                                      const std::vector<JudgedLine>& judged,
                                      std::vector<cv::Mat>& strips) {
    // Single upside-down lines (a label turned on an upright page); the lines
    // the page's check judged are not judged again (a box changed since, as
    // by a cut, is).
    if (m_runtime.classifier && m_settings.lineTurnProbability > 0.0f && !strips.empty()) {
        const double start = ThreadCpuSeconds();
        std::vector<float> upsideDown(strips.size());
        std::vector<std::size_t> unknown;
        std::vector<cv::Mat> unjudged;
        for (std::size_t i = 0; i < strips.size(); ++i) {
            const auto same = std::find_if(judged.begin(), judged.end(), [&](const JudgedLine& j) {
                return j.corners == boxes[i].corners;
            });
            if (same != judged.end()) {
                upsideDown[i] = same->upsideDown;
            } else {
                unknown.push_back(i);
                unjudged.push_back(strips[i]);
            }
        }
        if (!unjudged.empty()) {
            const std::vector<float> found = UpsideDown(unjudged);
            for (std::size_t k = 0; k < unknown.size(); ++k) {
                upsideDown[unknown[k]] = found[k];
            }
        }
        for (std::size_t i = 0; i < strips.size(); ++i) {
            if (upsideDown[i] >= m_settings.lineTurnProbability) {
                cv::rotate(strips[i], strips[i], cv::ROTATE_180);
            }
        }
        m_times.orientation += ThreadCpuSeconds() - start;
    }
}

}  // namespace kelsor::server::ppocr
