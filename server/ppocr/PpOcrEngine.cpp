#include "server/ppocr/PpOcrEngine.h"

#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <filesystem>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>

#include <onnxruntime_cxx_api.h>
#include <opencv2/imgproc.hpp>

#include "server/ppocr/CtcDecoder.h"

namespace kelsor::server::ppocr {

namespace {

// Pictures beyond this many pixels are refused rather than risking the memory
// of the whole server on one request.
constexpr long long kMaxPixels = 100LL * 1000 * 1000;

Ort::SessionOptions SingleThreadOptions() {
    Ort::SessionOptions options;
    // One thread per session: the server runs one session per core instead.
    options.SetIntraOpNumThreads(1);
    options.SetInterOpNumThreads(1);
    options.SetExecutionMode(ExecutionMode::ORT_SEQUENTIAL);
    options.SetGraphOptimizationLevel(GraphOptimizationLevel::ORT_ENABLE_ALL);
    options.AddConfigEntry("session.intra_op.allow_spinning", "0");
    // Pre-packed weights, the memory pattern and the arena are the runtime's
    // defaults; switching any of them (or flushing denormals, or the
    // extended optimisation level) changed nothing measurable here.
    return options;
}

int RoundTo32(double value) {
    return std::max(32, static_cast<int>(std::lround(value / 32.0)) * 32);
}

// Processor time of the calling thread: the stage profile is not disturbed by
// other programs on the same cores.
double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Per-channel normalisation of the models, as a table per byte value.
struct Normalisation {
    std::array<std::array<float, 256>, 3> table{};
    Normalisation(const float mean[3], const float scale[3]) {
        for (int c = 0; c < 3; ++c) {
            for (int v = 0; v < 256; ++v)
                table[c][v] = (static_cast<float>(v) / 255.0f - mean[c]) * scale[c];
        }
    }
};

// HWC 8-bit RGB -> planar BGR floats (the models were trained on BGR), written
// into `planes` whose rows are `stride` floats apart.
void WriteBgrPlanes(const cv::Mat& rgb, const Normalisation& norm, float* planes,
                    std::size_t planeSize, int stride) {
    for (int y = 0; y < rgb.rows; ++y) {
        const auto* row = rgb.ptr<cv::Vec3b>(y);
        float* blue = planes + static_cast<std::size_t>(y) * stride;
        float* green = blue + planeSize;
        float* red = green + planeSize;
        for (int x = 0; x < rgb.cols; ++x) {
            blue[x] = norm.table[0][row[x][2]];
            green[x] = norm.table[1][row[x][1]];
            red[x] = norm.table[2][row[x][0]];
        }
    }
}

const Normalisation& DetectionNormalisation() {
    static const float mean[3] = {0.485f, 0.456f, 0.406f};
    static const float scale[3] = {1.0f / 0.229f, 1.0f / 0.224f, 1.0f / 0.225f};
    static const Normalisation norm(mean, scale);
    return norm;
}

const Normalisation& RecognitionNormalisation() {
    static const float mean[3] = {0.5f, 0.5f, 0.5f};
    static const float scale[3] = {2.0f, 2.0f, 2.0f};
    static const Normalisation norm(mean, scale);
    return norm;
}

}  // namespace

struct PpOcrEngine::Runtime {
    Ort::Env env{ORT_LOGGING_LEVEL_ERROR, "kelsor-ppocr"};
    Ort::Session detection{nullptr};
    Ort::Session recognition{nullptr};
    Ort::Session classifier{nullptr};  // absent when its model is not installed
    std::vector<std::string> labels;
    Ort::MemoryInfo memory = Ort::MemoryInfo::CreateCpu(OrtArenaAllocator, OrtMemTypeDefault);
    std::string detectionInput, detectionOutput, recognitionInput, recognitionOutput;
    std::string classifierInput, classifierOutput;
    // Input buffers kept between pictures: their capacity is reused.
    std::vector<float> detectionTensor;
    std::vector<float> recognitionTensor;
};

std::unique_ptr<PpOcrEngine> PpOcrEngine::Create(const PpOcrModelPaths& paths,
                                                 const PpOcrSettings& settings,
                                                 std::string& error) {
    std::string missing;
    if (!paths.Complete(missing)) {
        error = "PP-OCR model file missing: " + missing;
        return nullptr;
    }
    auto runtime = std::make_unique<Runtime>();
    if (!LoadRecognitionLabels(paths.keys, runtime->labels, error)) {
        return nullptr;
    }
    try {
        Ort::SessionOptions options = SingleThreadOptions();
        runtime->detection = Ort::Session(runtime->env, paths.detection.c_str(), options);
        runtime->recognition = Ort::Session(runtime->env, paths.recognition.c_str(), options);
        Ort::AllocatorWithDefaultOptions allocator;
        runtime->detectionInput = runtime->detection.GetInputNameAllocated(0, allocator).get();
        runtime->detectionOutput = runtime->detection.GetOutputNameAllocated(0, allocator).get();
        runtime->recognitionInput = runtime->recognition.GetInputNameAllocated(0, allocator).get();
        runtime->recognitionOutput =
            runtime->recognition.GetOutputNameAllocated(0, allocator).get();
        if (std::error_code ec; std::filesystem::is_regular_file(paths.classifier, ec)) {
            runtime->classifier = Ort::Session(runtime->env, paths.classifier.c_str(), options);
            runtime->classifierInput =
                runtime->classifier.GetInputNameAllocated(0, allocator).get();
            runtime->classifierOutput =
                runtime->classifier.GetOutputNameAllocated(0, allocator).get();
        }
        // The character list must match the model's classes, or every
        // character would come out shifted.
        const auto shape =
            runtime->recognition.GetOutputTypeInfo(0).GetTensorTypeAndShapeInfo().GetShape();
        if (shape.size() != 3 ||
            (shape[2] > 0 && shape[2] != static_cast<std::int64_t>(runtime->labels.size()))) {
            error = "the character list " + paths.keys +
                    " does not match the recognition model's classes";
            return nullptr;
        }
    } catch (const Ort::Exception& e) {
        error = std::string("cannot load the PP-OCR models: ") + e.what();
        return nullptr;
    }
    return std::unique_ptr<PpOcrEngine>(new PpOcrEngine(std::move(runtime), settings));
}

PpOcrEngine::PpOcrEngine(std::unique_ptr<Runtime> runtime, const PpOcrSettings& settings)
    : m_runtime(std::move(runtime)), m_settings(settings) {}

PpOcrEngine::~PpOcrEngine() = default;

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

// Width and height of a box, along and across its text.
cv::Size2f BoxSize(const TextBox& box) {
    const auto& c = box.corners;
    return {static_cast<float>(std::max(cv::norm(c[0] - c[1]), cv::norm(c[3] - c[2]))),
            static_cast<float>(std::max(cv::norm(c[0] - c[3]), cv::norm(c[1] - c[2])))};
}

// Tall boxes are vertical text or the lines of a page turned by a quarter.
bool IsTall(cv::Size2f size) {
    return size.height >= 1.5f * size.width;
}

// The line as an upright strip `height` pixels high: perspective crop of the
// box; tall crops are vertical text and are turned to read left to right.
// Small lines are enlarged by the crop itself (bicubic, one resampling);
// larger ones are cropped at their size and then scaled down.
cv::Mat CropLine(const cv::Mat& picture, const TextBox& box, int height, int maxWidth) {
    const cv::Size2f size = BoxSize(box);
    const bool tall = IsTall(size);
    const double across = std::max(1.0f, tall ? size.width : size.height);
    const double enlarge = std::max(1.0, height / across);
    const int w = std::max(1, static_cast<int>(std::lround(size.width * enlarge)));
    const int h = std::max(1, static_cast<int>(std::lround(size.height * enlarge)));
    const cv::Point2f target[4] = {{0.0f, 0.0f},
                                   {static_cast<float>(w), 0.0f},
                                   {static_cast<float>(w), static_cast<float>(h)},
                                   {0.0f, static_cast<float>(h)}};
    const cv::Mat transform = cv::getPerspectiveTransform(box.corners.data(), target);
    cv::Mat crop;
    cv::warpPerspective(picture, crop, transform, cv::Size(w, h), cv::INTER_CUBIC,
                        cv::BORDER_REPLICATE);
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

// `rect` with `margin` added on every side.
cv::Rect Grown(const cv::Rect& rect, int margin) {
    return {rect.x - margin, rect.y - margin, rect.width + 2 * margin, rect.height + 2 * margin};
}

cv::Rect BoundingRect(const TextBox& box) {
    return cv::boundingRect(std::vector<cv::Point2f>(box.corners.begin(), box.corners.end()));
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

// A point of a picture turned by `turns` quarters clockwise, in the picture
// before the turn (`size`).
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

// Model input: strips `height` high, padded with zeros (mid grey after
// normalisation, as in training) to `width`.
void WriteStrips(const std::vector<const cv::Mat*>& strips, int height, int width,
                 std::vector<float>& tensor) {
    const std::size_t plane = static_cast<std::size_t>(height) * width;
    tensor.assign(strips.size() * 3 * plane, 0.0f);
    for (std::size_t k = 0; k < strips.size(); ++k) {
        WriteBgrPlanes(*strips[k], RecognitionNormalisation(), tensor.data() + k * 3 * plane, plane,
                       width);
    }
}

// The output of a line model (recognition or direction) for `strips`, each
// written into `tensor` padded to `width`.
Ort::Value RunOnStrips(Ort::Session& session, const std::string& inputName,
                       const std::string& outputName, const Ort::MemoryInfo& memory,
                       const std::vector<const cv::Mat*>& strips, int height, int width,
                       std::vector<float>& tensor) {
    WriteStrips(strips, height, width, tensor);
    const std::array<std::int64_t, 4> shape{static_cast<std::int64_t>(strips.size()), 3, height,
                                            width};
    Ort::Value input = Ort::Value::CreateTensor<float>(memory, tensor.data(), tensor.size(),
                                                       shape.data(), shape.size());
    const char* in = inputName.c_str();
    const char* out = outputName.c_str();
    auto result = session.Run(Ort::RunOptions{nullptr}, &in, &input, 1, &out, 1);
    return std::move(result[0]);
}

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

Ort::Value PpOcrEngine::RunDetection(const cv::Mat& rgb, cv::Size size) {
    cv::Mat scaled;
    cv::resize(rgb, scaled, size);
    const std::size_t plane = static_cast<std::size_t>(size.width) * size.height;
    std::vector<float>& tensor = m_runtime->detectionTensor;
    tensor.resize(3 * plane);
    WriteBgrPlanes(scaled, DetectionNormalisation(), tensor.data(), plane, size.width);
    const std::array<std::int64_t, 4> shape{1, 3, size.height, size.width};
    Ort::Value input = Ort::Value::CreateTensor<float>(m_runtime->memory, tensor.data(),
                                                       tensor.size(), shape.data(), shape.size());
    const char* in = m_runtime->detectionInput.c_str();
    const char* out = m_runtime->detectionOutput.c_str();
    auto result = m_runtime->detection.Run(Ort::RunOptions{nullptr}, &in, &input, 1, &out, 1);
    return std::move(result[0]);
}

bool PpOcrEngine::DetectIn(const cv::Mat& rgb, cv::Size size, std::vector<TextBox>& boxes,
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

bool PpOcrEngine::DetectLines(const cv::Mat& rgb, std::vector<TextBox>& boxes, std::string& error) {
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

std::vector<float> PpOcrEngine::UpsideDown(const std::vector<cv::Mat>& strips) {
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
        RunOnStrips(m_runtime->classifier, m_runtime->classifierInput, m_runtime->classifierOutput,
                    m_runtime->memory, pointers, kHeight, kWidth, tensor);
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

int PpOcrEngine::PageTurns(const cv::Mat& rgb, const std::vector<TextBox>& boxes,
                           std::vector<JudgedLine>& judged) {
    judged.clear();
    if (!m_runtime->classifier || m_settings.turnSampleLines <= 0) {
        return 0;
    }
    // Lines clearly longer one way than the other vote; single characters
    // (square boxes) do not.
    std::vector<std::pair<float, const TextBox*>> wide, tall;
    for (const TextBox& box : boxes) {
        const cv::Size2f size = BoxSize(box);
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
    std::vector<std::vector<std::size_t>> batches;
    for (std::size_t i = 0; i < sample; ++i) {
        batches.push_back({i});
    }
    std::vector<DecodedLine> decoded(sample);
    RecognizeBatches(strips, batches, decoded);
    double confidence = 0.0;
    for (const DecodedLine& line : decoded) {
        confidence += line.confidence;
    }
    if (confidence < 0.8 * static_cast<double>(sample)) {
        return 0;
    }
    // Upright strips come from a page turned clockwise: a quarter back the
    // other way (three clockwise) brings it upright.
    return 2 * flipped > sample ? 1 : 3;
}

bool PpOcrEngine::ReadLines(const cv::Mat& rgb, const std::vector<TextBox>& boxes,
                            const std::vector<JudgedLine>& judged,
                            std::vector<DecodedLine>& decoded, std::string& /*error*/) {
    std::vector<cv::Mat> strips(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        strips[i] =
            CropLine(rgb, boxes[i], m_settings.recognitionHeight, m_settings.recognitionMaxWidth);
    }
    // Single upside-down lines (a label turned on an upright page); the lines
    // the page's check judged are not judged again (a box changed since, as
    // by a cut, is).
    if (m_runtime->classifier && m_settings.lineTurnProbability > 0.0f && !strips.empty()) {
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
    // Lines of similar width share a batch, so little of it is padding.
    std::vector<std::size_t> order(boxes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return strips[a].cols < strips[b].cols; });
    decoded.assign(boxes.size(), DecodedLine{});
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
    return true;
}

void PpOcrEngine::RecognizeBatches(const std::vector<cv::Mat>& strips,
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
    while (takeOne(m_runtime->recognitionTensor)) {
    }
    for (std::thread& helper : helpers) {
        helper.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void PpOcrEngine::RecognizeBatch(const std::vector<cv::Mat>& strips,
                                 const std::vector<std::size_t>& members,
                                 std::vector<float>& tensor, std::vector<DecodedLine>& decoded) {
    const int height = m_settings.recognitionHeight;
    int width = m_settings.recognitionMinWidth;
    std::vector<const cv::Mat*> batch;
    for (std::size_t member : members) {
        width = std::max(width, strips[member].cols);
        batch.push_back(&strips[member]);
    }
    Ort::Value result =
        RunOnStrips(m_runtime->recognition, m_runtime->recognitionInput,
                    m_runtime->recognitionOutput, m_runtime->memory, batch, height, width, tensor);
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
            m_runtime->labels, m_settings.latinSpaceProbability, m_settings.gapSpaceRatio, &blank);
    }
}

bool PpOcrEngine::Recognize(const DecodedPicture& picture, std::vector<TextBlock>& lines,
                            std::string& error) {
    lines.clear();
    if (picture.width <= 0 || picture.height <= 0) {
        error = "the picture is empty";
        return false;
    }
    if (static_cast<long long>(picture.width) * picture.height > kMaxPixels) {
        error = "the picture is too large";
        return false;
    }
    if (picture.rgb.size() != static_cast<std::size_t>(picture.width) * picture.height * 3) {
        error = "the picture data does not match its size";
        return false;
    }
    try {
        // The decoded pixels are read in place; the channel order is swapped
        // while the tensors are written.
        const cv::Mat rgb(picture.height, picture.width, CV_8UC3,
                          const_cast<std::uint8_t*>(picture.rgb.data()));
        return RecognizeRgb(rgb, lines, error);
    } catch (const Ort::Exception& e) {
        error = std::string("recognition failed: ") + e.what();
    } catch (const cv::Exception& e) {
        error = std::string("recognition failed: ") + e.what();
    } catch (const std::bad_alloc&) {
        error = "recognition failed: out of memory";
    } catch (const std::exception& e) {
        error = std::string("recognition failed: ") + e.what();
    }
    return false;
}

bool PpOcrEngine::RecognizeRgb(const cv::Mat& rgb, std::vector<TextBlock>& lines,
                               std::string& error) {
    std::vector<TextBox> boxes;
    if (!DetectLines(rgb, boxes, error)) {
        return false;
    }
    const double oriented = ThreadCpuSeconds();
    std::vector<JudgedLine> judged;
    const int turns = boxes.empty() ? 0 : PageTurns(rgb, boxes, judged);
    m_times.orientation += ThreadCpuSeconds() - oriented;
    // A turned page is read upright, so that its lines come in reading order.
    cv::Mat upright = rgb;
    if (turns != 0) {
        cv::rotate(rgb, upright,
                   turns == 1   ? cv::ROTATE_90_CLOCKWISE
                   : turns == 2 ? cv::ROTATE_180
                                : cv::ROTATE_90_COUNTERCLOCKWISE);
        if (!DetectLines(upright, boxes, error)) {
            return false;
        }
        judged.clear();  // judged on the page as sent
    }
    const double boxed = ThreadCpuSeconds();
    boxes = SplitAtGutters(upright, boxes);
    std::vector<DecodedLine> decoded;
    if (!ReadLines(upright, boxes, judged, decoded, error)) {
        return false;
    }
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (decoded[i].text.empty() || decoded[i].confidence < m_settings.minLineConfidence) {
            continue;
        }
        TextBlock block;
        block.words = std::move(decoded[i].text);
        block.confidence = decoded[i].confidence;
        // Corners on the upright page, in the text's own order (top-left of
        // the text first).
        for (int corner = 0; corner < 4; ++corner) {
            block.location[corner] = {static_cast<int>(std::lround(boxes[i].corners[corner].x)),
                                      static_cast<int>(std::lround(boxes[i].corners[corner].y))};
        }
        lines.push_back(std::move(block));
    }
    // Lines are ordered as read on the upright page, after recognition, so
    // that marks which read as nothing never bridge a column gap; only then
    // do their corners go back to the picture as it was sent.
    SortReadingOrder(lines);
    if (turns != 0) {
        for (TextBlock& block : lines) {
            for (auto& corner : block.location) {
                const cv::Point2f p = TurnedBack(
                    cv::Point2f(static_cast<float>(corner[0]), static_cast<float>(corner[1])),
                    turns, rgb.size());
                corner = {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))};
            }
        }
    }
    m_times.recognition += ThreadCpuSeconds() - boxed;
    m_times.lines += static_cast<long long>(boxes.size());
    ++m_times.pictures;
    return true;
}

std::unique_ptr<RecognitionEngine> CreateDefaultPpOcrEngine(std::string& error) {
    return PpOcrEngine::Create(PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()), error);
}

bool PpOcrInstalled(std::string& reason) {
    // The runtime is linked into the program, so only the models can be absent.
    std::string missing;
    if (!PpOcrModelPaths::InFolder(DefaultPpOcrModelFolder()).Complete(missing)) {
        reason = "PP-OCR model file missing: " + missing;
        return false;
    }
    return true;
}

}  // namespace kelsor::server::ppocr
