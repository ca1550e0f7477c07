#pragma once

#include <array>
#include <string>
#include <vector>

#include <onnxruntime_cxx_api.h>
#include <opencv2/core.hpp>

#include "server/ppocr/DbPostProcess.h"
#include "server/ppocr/PpOcrModels.h"

// The ONNX Runtime sessions of one engine and what its stages share: the
// models' input normalisation, running a line model on strips, the geometry
// of boxes, the thread's processor time.
namespace kelsor::server::ppocr {

struct ModelRuntime {
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

    // Loads the models of `paths`; false with `error` when a file is missing,
    // a model does not load or the character list does not fit the model.
    bool Load(const PpOcrModelPaths& paths, std::string& error);
};

// Processor time of the calling thread: the stage profile is not disturbed by
// other programs on the same cores.
double ThreadCpuSeconds();

int RoundTo32(double value);

// Per-channel normalisation of the models, as a table per byte value.
struct Normalisation {
    std::array<std::array<float, 256>, 3> table{};
    Normalisation(const float mean[3], const float scale[3]);
};
const Normalisation& DetectionNormalisation();
const Normalisation& RecognitionNormalisation();

// HWC 8-bit RGB -> planar BGR floats (the models were trained on BGR), written
// into `planes` whose rows are `stride` floats apart.
void WriteBgrPlanes(const cv::Mat& rgb, const Normalisation& norm, float* planes,
                    std::size_t planeSize, int stride);

// The output of a line model (recognition or direction) for `strips`, each
// written into `tensor` padded to `width` with zeros (mid grey after
// normalisation, as in training).
Ort::Value RunOnStrips(Ort::Session& session, const std::string& inputName,
                       const std::string& outputName, const Ort::MemoryInfo& memory,
                       const std::vector<const cv::Mat*>& strips, int height, int width,
                       std::vector<float>& tensor);

// Width and height of a box, along and across its text.
cv::Size2f BoxSize(const TextBox& box);

// Tall boxes are vertical text or the lines of a page turned by a quarter.
bool IsTall(cv::Size2f size);

cv::Rect BoundingRect(const TextBox& box);

// `rect` with `margin` added on every side.
cv::Rect Grown(const cv::Rect& rect, int margin);

}  // namespace kelsor::server::ppocr
