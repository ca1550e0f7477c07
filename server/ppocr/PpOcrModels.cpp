#include "server/ppocr/PpOcrModels.h"

#include "server/InstallPaths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kelsor::server::ppocr {

PpOcrModelPaths PpOcrModelPaths::InFolder(const std::string& folder) {
    std::string base = folder;
    if (!base.empty() && base.back() != '/') {
        base += '/';
    }
    return {base + "ch_PP-OCRv4_det_infer.onnx", base + "ch_PP-OCRv4_rec_infer.onnx",
            base + "ppocr_keys_v1.txt", base + "ch_ppocr_mobile_v2.0_cls_infer.onnx"};
}

bool PpOcrModelPaths::Complete(std::string& missing) const {
    for (const std::string* file : {&detection, &recognition, &keys}) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(*file, ec)) {
            missing = *file;
            return false;
        }
    }
    return true;
}

std::string DefaultPpOcrModelFolder() {
    const char* fromEnv = std::getenv("KELSOR_PPOCR_MODELS");
    if (fromEnv != nullptr && *fromEnv != '\0') {
        return fromEnv;
    }
    if (std::string installed = InstalledSharePath("models"); !installed.empty()) {
        return installed;
    }
    return KELSOR_PPOCR_MODEL_DIR;
}

bool LoadRecognitionLabels(const std::string& keysFile, std::vector<std::string>& labels,
                           std::string& error) {
    std::ifstream in(keysFile, std::ios::binary);
    if (!in) {
        error = "cannot read the character list " + keysFile;
        return false;
    }
    labels.clear();
    labels.emplace_back();  // CTC blank
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        labels.push_back(line);
    }
    if (labels.size() < 2) {
        error = "the character list " + keysFile + " is empty";
        return false;
    }
    labels.emplace_back(" ");
    return true;
}

}  // namespace kelsor::server::ppocr
