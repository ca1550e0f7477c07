#include "server/ppocr/PpOcrEngine.h"

#include <time.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

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
    std::vector<std::string> labels;
    Ort::MemoryInfo memory = Ort::MemoryInfo::CreateCpu(OrtArenaAllocator, OrtMemTypeDefault);
    std::string detectionInput, detectionOutput, recognitionInput, recognitionOutput;
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

// The line as an upright strip: perspective crop of the box; tall crops are
// vertical text and are turned to read left to right.
cv::Mat CropLine(const cv::Mat& picture, const TextBox& box) {
    const auto& c = box.corners;
    const float width = std::max(cv::norm(c[0] - c[1]), cv::norm(c[3] - c[2]));
    const float height = std::max(cv::norm(c[0] - c[3]), cv::norm(c[1] - c[2]));
    const int w = std::max(1, static_cast<int>(std::lround(width)));
    const int h = std::max(1, static_cast<int>(std::lround(height)));
    const cv::Point2f target[4] = {{0.0f, 0.0f},
                                   {static_cast<float>(w), 0.0f},
                                   {static_cast<float>(w), static_cast<float>(h)},
                                   {0.0f, static_cast<float>(h)}};
    const cv::Mat transform = cv::getPerspectiveTransform(c.data(), target);
    cv::Mat crop;
    cv::warpPerspective(picture, crop, transform, cv::Size(w, h), cv::INTER_CUBIC,
                        cv::BORDER_REPLICATE);
    if (crop.rows >= 1.5 * crop.cols) {
        cv::rotate(crop, crop, cv::ROTATE_90_COUNTERCLOCKWISE);
    }
    return crop;
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

bool PpOcrEngine::ReadLines(const cv::Mat& rgb, const std::vector<TextBox>& boxes,
                            std::vector<DecodedLine>& decoded, std::string& error) {
    const int height = m_settings.recognitionHeight;
    std::vector<cv::Mat> strips(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const cv::Mat crop = CropLine(rgb, boxes[i]);
        const int width = std::clamp(
            static_cast<int>(std::ceil(height * static_cast<double>(crop.cols) / crop.rows)), 1,
            m_settings.recognitionMaxWidth);
        cv::resize(crop, strips[i], cv::Size(width, height));
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
    std::vector<std::size_t> members;
    for (std::size_t next = 0; next < order.size(); ++next) {
        members.push_back(order[next]);
        const bool last = next + 1 == order.size();
        if (last || members.size() == batch ||
            padded(order[next + 1]) > padded(members.front()) * m_settings.recognitionBatchSpread) {
            if (!RecognizeBatch(strips, members, decoded, error)) {
                return false;
            }
            members.clear();
        }
    }
    return true;
}

bool PpOcrEngine::RecognizeBatch(const std::vector<cv::Mat>& strips,
                                 const std::vector<std::size_t>& members,
                                 std::vector<DecodedLine>& decoded, std::string& error) {
    const int height = m_settings.recognitionHeight;
    int width = m_settings.recognitionMinWidth;
    for (std::size_t member : members) {
        width = std::max(width, strips[member].cols);
    }
    const std::size_t plane = static_cast<std::size_t>(height) * width;
    std::vector<float>& tensor = m_runtime->recognitionTensor;
    // Zeros pad each line on the right (mid grey after normalisation), as in training.
    tensor.assign(members.size() * 3 * plane, 0.0f);
    for (std::size_t k = 0; k < members.size(); ++k) {
        WriteBgrPlanes(strips[members[k]], RecognitionNormalisation(),
                       tensor.data() + k * 3 * plane, plane, width);
    }
    const std::array<std::int64_t, 4> shape{static_cast<std::int64_t>(members.size()), 3, height,
                                            width};
    Ort::Value input = Ort::Value::CreateTensor<float>(m_runtime->memory, tensor.data(),
                                                       tensor.size(), shape.data(), shape.size());
    const char* in = m_runtime->recognitionInput.c_str();
    const char* out = m_runtime->recognitionOutput.c_str();
    auto result = m_runtime->recognition.Run(Ort::RunOptions{nullptr}, &in, &input, 1, &out, 1);
    const auto outShape = result[0].GetTensorTypeAndShapeInfo().GetShape();
    if (outShape.size() != 3 || outShape[0] != static_cast<std::int64_t>(members.size())) {
        error = "the recognition model returned an unexpected shape";
        return false;
    }
    const int steps = static_cast<int>(outShape[1]);
    const int classes = static_cast<int>(outShape[2]);
    const float* scores = result[0].GetTensorData<float>();
    for (std::size_t k = 0; k < members.size(); ++k) {
        decoded[members[k]] =
            GreedyCtcDecode(scores + k * static_cast<std::size_t>(steps) * classes, steps, classes,
                            m_runtime->labels, m_settings.latinSpaceProbability);
    }
    return true;
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
    }
    return false;
}

bool PpOcrEngine::RecognizeRgb(const cv::Mat& rgb, std::vector<TextBlock>& lines,
                               std::string& error) {
    const double start = ThreadCpuSeconds();
    const cv::Size size = DetectionSize(rgb.cols, rgb.rows, m_settings);
    Ort::Value map = RunDetection(rgb, size);
    const auto mapShape = map.GetTensorTypeAndShapeInfo().GetShape();
    if (mapShape.size() != 4 || mapShape[2] != size.height || mapShape[3] != size.width) {
        error = "the detection model returned an unexpected shape";
        return false;
    }
    const double detected = ThreadCpuSeconds();
    const cv::Mat probability(size.height, size.width, CV_32FC1, map.GetTensorMutableData<float>());
    std::vector<TextBox> boxes =
        FindTextBoxes(probability, m_settings.detection,
                      static_cast<float>(rgb.cols) / static_cast<float>(size.width),
                      static_cast<float>(rgb.rows) / static_cast<float>(size.height), rgb.size());
    const double boxed = ThreadCpuSeconds();
    std::vector<DecodedLine> decoded;
    if (!ReadLines(rgb, boxes, decoded, error)) {
        return false;
    }
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (decoded[i].text.empty() || decoded[i].confidence < m_settings.minLineConfidence) {
            continue;
        }
        TextBlock block;
        block.words = std::move(decoded[i].text);
        block.confidence = decoded[i].confidence;
        for (int corner = 0; corner < 4; ++corner) {
            block.location[corner] = {static_cast<int>(boxes[i].corners[corner].x),
                                      static_cast<int>(boxes[i].corners[corner].y)};
        }
        lines.push_back(std::move(block));
    }
    SortReadingOrder(lines);
    m_times.detection += detected - start;
    m_times.postProcessing += boxed - detected;
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
