#pragma once

#include <string>
#include <vector>

// Where the PP-OCR engine finds its model files, and the character list of the
// recognition model.
namespace kelsor::server::ppocr {

struct PpOcrModelPaths {
    std::string detection;    // ch_PP-OCRv4_det_infer.onnx
    std::string recognition;  // ch_PP-OCRv4_rec_infer.onnx
    std::string keys;         // ppocr_keys_v1.txt
    // ch_ppocr_mobile_v2.0_cls_infer.onnx, the text-direction classifier;
    // optional: without it turned pages and lines are read as they come.
    std::string classifier;

    // The three files by their usual names inside `folder`.
    static PpOcrModelPaths InFolder(const std::string& folder);
    // True when every required file exists; otherwise names the first missing one.
    bool Complete(std::string& missing) const;
};

// $KELSOR_PPOCR_MODELS when set, else the folder the build found the models in.
std::string DefaultPpOcrModelFolder();

// The labels of the recognition model's classes: the CTC blank (empty), one per
// line of the key file, then the space. Returns false with `error` when the file
// cannot be read or holds no characters.
bool LoadRecognitionLabels(const std::string& keysFile, std::vector<std::string>& labels,
                           std::string& error);

}  // namespace kelsor::server::ppocr
