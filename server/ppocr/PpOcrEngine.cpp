#include "server/ppocr/PpOcrEngine.h"

#include <algorithm>
#include <cmath>

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
    return options;
}

int RoundTo32(double value) {
    return std::max(32, static_cast<int>(std::lround(value / 32.0)) * 32);
}

// HWC 8-bit BGR -> CHW float with per-channel mean and scale.
std::vector<float> ToTensor(const cv::Mat& bgr, const float mean[3], const float scale[3]) {
    const int h = bgr.rows, w = bgr.cols;
    std::vector<float> tensor(static_cast<std::size_t>(3) * h * w);
    for (int y = 0; y < h; ++y) {
        const auto* row = bgr.ptr<cv::Vec3b>(y);
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) {
                tensor[(static_cast<std::size_t>(c) * h + y) * w + x] =
                    (row[x][c] / 255.0f - mean[c]) * scale[c];
            }
        }
    }
    return tensor;
}

}  // namespace

struct PpOcrEngine::Runtime {
    Ort::Env env{ORT_LOGGING_LEVEL_ERROR, "kelsor-ppocr"};
    Ort::Session detection{nullptr};
    Ort::Session recognition{nullptr};
    std::vector<std::string> labels;
    Ort::MemoryInfo memory = Ort::MemoryInfo::CreateCpu(OrtArenaAllocator, OrtMemTypeDefault);
    std::string detectionInput, detectionOutput, recognitionInput, recognitionOutput;
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

struct DetectionInput {
    std::vector<float> tensor;
    int width = 0;
    int height = 0;
};

DetectionInput PrepareDetection(const cv::Mat& bgr, const PpOcrSettings& s) {
    double ratio = 1.0;
    const int longer = std::max(bgr.cols, bgr.rows);
    const int shorter = std::min(bgr.cols, bgr.rows);
    if (longer > s.detectionMaxSide) {
        ratio = static_cast<double>(s.detectionMaxSide) / longer;
    } else if (shorter < s.detectionMinSide) {
        ratio = std::min(static_cast<double>(s.detectionMinSide) / shorter,
                         static_cast<double>(s.detectionMaxSide) / longer);
    }
    DetectionInput input;
    input.width = RoundTo32(bgr.cols * ratio);
    input.height = RoundTo32(bgr.rows * ratio);
    cv::Mat resized;
    cv::resize(bgr, resized, cv::Size(input.width, input.height));
    static const float mean[3] = {0.485f, 0.456f, 0.406f};
    static const float scale[3] = {1.0f / 0.229f, 1.0f / 0.224f, 1.0f / 0.225f};
    input.tensor = ToTensor(resized, mean, scale);
    return input;
}

// The line as an upright strip: perspective crop of the box; tall crops are
// vertical text and are turned to read left to right.
cv::Mat CropLine(const cv::Mat& bgr, const TextBox& box) {
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
    cv::warpPerspective(bgr, crop, transform, cv::Size(w, h), cv::INTER_CUBIC,
                        cv::BORDER_REPLICATE);
    if (crop.rows >= 1.5 * crop.cols) {
        cv::rotate(crop, crop, cv::ROTATE_90_COUNTERCLOCKWISE);
    }
    return crop;
}

}  // namespace

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
        const cv::Mat rgb(picture.height, picture.width, CV_8UC3,
                          const_cast<std::uint8_t*>(picture.rgb.data()));
        // The models were trained on BGR pictures.
        cv::Mat bgr;
        cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);

        DetectionInput det = PrepareDetection(bgr, m_settings);
        const std::array<std::int64_t, 4> detShape{1, 3, det.height, det.width};
        Ort::Value detTensor =
            Ort::Value::CreateTensor<float>(m_runtime->memory, det.tensor.data(), det.tensor.size(),
                                            detShape.data(), detShape.size());
        const char* detIn = m_runtime->detectionInput.c_str();
        const char* detOut = m_runtime->detectionOutput.c_str();
        auto detResult =
            m_runtime->detection.Run(Ort::RunOptions{nullptr}, &detIn, &detTensor, 1, &detOut, 1);
        const auto mapShape = detResult[0].GetTensorTypeAndShapeInfo().GetShape();
        if (mapShape.size() != 4 || mapShape[2] != det.height || mapShape[3] != det.width) {
            error = "the detection model returned an unexpected shape";
            return false;
        }
        const cv::Mat probability(det.height, det.width, CV_32FC1,
                                  detResult[0].GetTensorMutableData<float>());
        std::vector<TextBox> boxes = FindTextBoxes(probability, m_settings.detection,
                                                   static_cast<float>(picture.width) / det.width,
                                                   static_cast<float>(picture.height) / det.height,
                                                   cv::Size(picture.width, picture.height));
        SortReadingOrder(boxes);

        static const float recMean[3] = {0.5f, 0.5f, 0.5f};
        static const float recScale[3] = {2.0f, 2.0f, 2.0f};
        const int height = m_settings.recognitionHeight;
        const char* recIn = m_runtime->recognitionInput.c_str();
        const char* recOut = m_runtime->recognitionOutput.c_str();
        for (const TextBox& box : boxes) {
            const cv::Mat crop = CropLine(bgr, box);
            const int width = std::clamp(
                static_cast<int>(std::ceil(height * static_cast<double>(crop.cols) / crop.rows)), 1,
                m_settings.recognitionMaxWidth);
            cv::Mat line;
            cv::resize(crop, line, cv::Size(width, height));
            const int paddedWidth = std::max(width, m_settings.recognitionMinWidth);
            std::vector<float> tensor = ToTensor(line, recMean, recScale);
            if (paddedWidth > width) {
                // Pad on the right with zeros (mid grey after normalisation), as in training.
                std::vector<float> padded(static_cast<std::size_t>(3) * height * paddedWidth, 0.0f);
                for (int c = 0; c < 3; ++c) {
                    for (int y = 0; y < height; ++y) {
                        std::copy_n(
                            &tensor[(static_cast<std::size_t>(c) * height + y) * width], width,
                            &padded[(static_cast<std::size_t>(c) * height + y) * paddedWidth]);
                    }
                }
                tensor = std::move(padded);
            }
            const std::array<std::int64_t, 4> recShape{1, 3, height, paddedWidth};
            Ort::Value recTensor = Ort::Value::CreateTensor<float>(
                m_runtime->memory, tensor.data(), tensor.size(), recShape.data(), recShape.size());
            auto recResult = m_runtime->recognition.Run(Ort::RunOptions{nullptr}, &recIn,
                                                        &recTensor, 1, &recOut, 1);
            const auto outShape = recResult[0].GetTensorTypeAndShapeInfo().GetShape();
            if (outShape.size() != 3) {
                error = "the recognition model returned an unexpected shape";
                return false;
            }
            const DecodedLine decoded = GreedyCtcDecode(
                recResult[0].GetTensorData<float>(), static_cast<int>(outShape[1]),
                static_cast<int>(outShape[2]), m_runtime->labels, m_settings.latinSpaceProbability);
            if (decoded.text.empty() || decoded.confidence < m_settings.minLineConfidence) {
                continue;
            }
            TextBlock block;
            block.words = decoded.text;
            block.confidence = decoded.confidence;
            for (int i = 0; i < 4; ++i) {
                block.location[i] = {static_cast<int>(box.corners[i].x),
                                     static_cast<int>(box.corners[i].y)};
            }
            lines.push_back(std::move(block));
        }
    } catch (const Ort::Exception& e) {
        error = std::string("recognition failed: ") + e.what();
        return false;
    } catch (const cv::Exception& e) {
        error = std::string("recognition failed: ") + e.what();
        return false;
    } catch (const std::bad_alloc&) {
        error = "recognition failed: out of memory";
        return false;
    }
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
