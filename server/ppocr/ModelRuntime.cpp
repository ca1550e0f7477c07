#include "server/ppocr/ModelRuntime.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <opencv2/imgproc.hpp>

namespace kelsor::server::ppocr {

namespace {

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

}  // namespace

bool ModelRuntime::Load(const PpOcrModelPaths& paths, std::string& error) {
    std::string missing;
    if (!paths.Complete(missing)) {
        error = "PP-OCR model file missing: " + missing;
        return false;
    }
    if (!LoadRecognitionLabels(paths.keys, labels, error)) {
        return false;
    }
    try {
        Ort::SessionOptions options = SingleThreadOptions();
        detection = Ort::Session(env, paths.detection.c_str(), options);
        recognition = Ort::Session(env, paths.recognition.c_str(), options);
        Ort::AllocatorWithDefaultOptions allocator;
        detectionInput = detection.GetInputNameAllocated(0, allocator).get();
        detectionOutput = detection.GetOutputNameAllocated(0, allocator).get();
        recognitionInput = recognition.GetInputNameAllocated(0, allocator).get();
        recognitionOutput = recognition.GetOutputNameAllocated(0, allocator).get();
        if (std::error_code ec; std::filesystem::is_regular_file(paths.classifier, ec)) {
            classifier = Ort::Session(env, paths.classifier.c_str(), options);
            classifierInput = classifier.GetInputNameAllocated(0, allocator).get();
            classifierOutput = classifier.GetOutputNameAllocated(0, allocator).get();
        }
        // The character list must match the model's classes, or every
        // character would come out shifted.
        const auto shape = recognition.GetOutputTypeInfo(0).GetTensorTypeAndShapeInfo().GetShape();
        if (shape.size() != 3 ||
            (shape[2] > 0 && shape[2] != static_cast<std::int64_t>(labels.size()))) {
            error = "the character list " + paths.keys +
                    " does not match the recognition model's classes";
            return false;
        }
    } catch (const Ort::Exception& e) {
        error = std::string("cannot load the PP-OCR models: ") + e.what();
        return false;
    }
    return true;
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int RoundTo32(double value) {
    return std::max(32, static_cast<int>(std::lround(value / 32.0)) * 32);
}

Normalisation::Normalisation(const float mean[3], const float scale[3]) {
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v)
            table[c][v] = (static_cast<float>(v) / 255.0f - mean[c]) * scale[c];
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

Ort::Value RunOnStrips(Ort::Session& session, const std::string& inputName,
                       const std::string& outputName, const Ort::MemoryInfo& memory,
                       const std::vector<const cv::Mat*>& strips, int height, int width,
                       std::vector<float>& tensor) {
    const std::size_t plane = static_cast<std::size_t>(height) * width;
    tensor.assign(strips.size() * 3 * plane, 0.0f);
    for (std::size_t k = 0; k < strips.size(); ++k) {
        WriteBgrPlanes(*strips[k], RecognitionNormalisation(), tensor.data() + k * 3 * plane, plane,
                       width);
    }
    const std::array<std::int64_t, 4> shape{static_cast<std::int64_t>(strips.size()), 3, height,
                                            width};
    Ort::Value input = Ort::Value::CreateTensor<float>(memory, tensor.data(), tensor.size(),
                                                       shape.data(), shape.size());
    const char* in = inputName.c_str();
    const char* out = outputName.c_str();
    auto result = session.Run(Ort::RunOptions{nullptr}, &in, &input, 1, &out, 1);
    return std::move(result[0]);
}

cv::Size2f BoxSize(const TextBox& box) {
    const auto& c = box.corners;
    return {static_cast<float>(std::max(cv::norm(c[0] - c[1]), cv::norm(c[3] - c[2]))),
            static_cast<float>(std::max(cv::norm(c[0] - c[3]), cv::norm(c[1] - c[2])))};
}

bool IsTall(cv::Size2f size) {
    return size.height >= 1.5f * size.width;
}

cv::Rect BoundingRect(const TextBox& box) {
    return cv::boundingRect(std::vector<cv::Point2f>(box.corners.begin(), box.corners.end()));
}

cv::Rect Grown(const cv::Rect& rect, int margin) {
    return {rect.x - margin, rect.y - margin, rect.width + 2 * margin, rect.height + 2 * margin};
}

}  // namespace kelsor::server::ppocr
